#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

// Sets the process's local time zone for the lifetime of the object, then puts the previous one back.
class LocalZone
{
public:
    explicit LocalZone(const char *zone) : hadZone_(qEnvironmentVariableIsSet("TZ")), saved_(qgetenv("TZ"))
    {
        apply(zone);
    }
    ~LocalZone()
    {
        if (hadZone_)
            apply(saved_.constData());
        else {
            qunsetenv("TZ");
            tzset();
        }
    }
    LocalZone(const LocalZone &) = delete;
    LocalZone &operator=(const LocalZone &) = delete;

private:
    static void apply(const char *zone)
    {
        qputenv("TZ", zone);
        tzset();
    }

    bool hadZone_;
    QByteArray saved_;
};
