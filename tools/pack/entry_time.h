// Entry times that make the same files give the same installer anywhere:
// a file's modification time as a DOS date and time in UTC (the machine's
// time zone never enters), no later than SOURCE_DATE_EPOCH when that is set.
#pragma once

#include <cstdint>
#include <string>

struct TimeClamp {
    bool set = false;   // SOURCE_DATE_EPOCH was given
    int64_t limit = 0;  // its seconds since 1970 (UTC)
};

// Reads SOURCE_DATE_EPOCH. False, with `error` set, when it is set but not
// a whole number of seconds within the times a DOS date holds (1980-01-01
// to 2107-12-31).
bool time_clamp_from_environment(TimeClamp& clamp, std::string& error);
// DOS date << 16 | DOS time of `unix_seconds` in UTC, clamped.
uint32_t entry_dos_time(int64_t unix_seconds, const TimeClamp& clamp);
