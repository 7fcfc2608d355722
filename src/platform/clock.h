#pragma once

namespace wirelux::platform {

struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Local wall-clock time (GetLocalTime on Windows).
LocalTime local_time();

} // namespace wirelux::platform
