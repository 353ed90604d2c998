// Time sources: a steady clock for time limits and the local date and time.
#pragma once

#include <ctime>

namespace qv {

struct LocalTime {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds on a clock that runs on steadily (never wraps at midnight).
    virtual double seconds() = 0;
    virtual LocalTime now() = 0;
};

class SystemClock : public Clock {
public:
    double seconds() override;
    LocalTime now() override;
};

// The calendar time of `t` in the system's local time zone.
std::tm localCalendar(std::time_t t);

}  // namespace qv
