#include "winkeyer/winkeyer_service.h"

#include "winkeyer/winkeyer_session.h"

WinkeyerService::WinkeyerService(WinkeyerListener &listener, WinkeyerTiming timing)
    : session_(std::make_unique<WinkeyerSession>(listener, timing))
{
    thread_.setObjectName(QStringLiteral("winkeyer"));
    session_->moveToThread(&thread_);
    thread_.start();
}

// The session's timers and notifiers are gone once close() has run on its thread, so it may be destroyed
// here once that thread has ended.
WinkeyerService::~WinkeyerService()
{
    QMetaObject::invokeMethod(session_.get(), &WinkeyerSession::close, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

template <typename Call> void WinkeyerService::post(Call call)
{
    QMetaObject::invokeMethod(session_.get(), std::move(call), Qt::QueuedConnection);
}

void WinkeyerService::open(const QString &path, const WinkeyerSettings &settings)
{
    post([session = session_.get(), path, settings] { session->open(path, settings); });
}

void WinkeyerService::configure(const WinkeyerSettings &settings)
{
    post([session = session_.get(), settings] { session->configure(settings); });
}

void WinkeyerService::send(std::vector<WinkeyerItem> items)
{
    post([session = session_.get(), items = std::move(items)] { session->send(items); });
}

void WinkeyerService::clear()
{
    post([session = session_.get()] { session->clear(); });
}

void WinkeyerService::tune(int ms)
{
    post([session = session_.get(), ms] { session->tune(ms); });
}

void WinkeyerService::close()
{
    post([session = session_.get()] { session->close(); });
}
