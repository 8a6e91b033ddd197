// Sets the process's time zone while it lives (an empty one counts as none).
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace support {

class TimeZone {
public:
    explicit TimeZone(const char* zone) : m_old(std::getenv("TZ") ? std::getenv("TZ") : "") {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        m_old.empty() ? unsetenv("TZ") : setenv("TZ", m_old.c_str(), 1);
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::string m_old;
};

}  // namespace support
