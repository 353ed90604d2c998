#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace qv {

double SystemClock::seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

LocalTime SystemClock::now() {
    std::time_t t = std::time(nullptr);
    const std::tm tm = localCalendar(t);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace qv
