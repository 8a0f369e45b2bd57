#pragma once

#include "network/request_parser.h"

#include <QString>

#include <optional>

// What Keylark says, once, of a request it refuses or ignores: a kind, so that each is said once while
// the service listens, and the line.
class RequestNotice
{
public:
    struct Notice
    {
        QString kind;
        QString line;
    };

    // None for a request Keylark carries out.
    static std::optional<Notice> of(const NetworkRequest &request);
};
