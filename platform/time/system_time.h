#pragma once
// The wall clock, broken into calendar fields.

namespace platform {

struct SystemTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Now, in UTC.
SystemTime CurrentUtcSystemTime();

}  // namespace platform
