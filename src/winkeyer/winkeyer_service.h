#pragma once

#include "winkeyer/winkeyer_listener.h"
#include "winkeyer/winkeyer_settings.h"

#include <QThread>

#include <memory>
#include <vector>

class WinkeyerSession;

// A WinKeyer driven over its serial port from a thread of its own. Every call may come from any thread and
// returns at once; the listener hears the keyer on the service's thread. A keyer that fails is closed,
// and the next text or tune opens it again.
class WinkeyerService
{
public:
    explicit WinkeyerService(WinkeyerListener &listener, WinkeyerTiming timing = {});
    // Closes host mode, so that the keyer returns to its own use.
    ~WinkeyerService();

    WinkeyerService(const WinkeyerService &) = delete;
    WinkeyerService &operator=(const WinkeyerService &) = delete;

    // Opens the keyer on path in host mode with these settings; keyerOpened() or keyerFailed() follows.
    void open(const QString &path, const WinkeyerSettings &settings);
    void configure(const WinkeyerSettings &settings);
    // Puts the items behind the text the keyer has; textEnded() follows once all of it has ended.
    void send(std::vector<WinkeyerItem> items);
    // Drops the text at once, in the keyer's buffer and on its way there, and keys up a tune.
    void clear();
    // Keys a carrier for ms, at most the timing's tune limit; 0 keys up.
    void tune(int ms);
    void close();

private:
    template <typename Call> void post(Call call);

    QThread thread_;
    std::unique_ptr<WinkeyerSession> session_;
};
