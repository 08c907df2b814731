// Entry times are computed with the tool's own calendar arithmetic, so that
// iunpack and iunpack.exe date a file alike: it must agree with the C
// library's UTC calendar on every day the DOS fields can hold, and on each
// side of their range.
#include <gtest/gtest.h>

#include <ctime>

#include "encode/arj_writer.h"
#include "tools/pack/entry_time.h"

namespace {

uint32_t by_c_library(int64_t seconds) {
    time_t t = time_t(seconds);
    struct tm utc {};
    if (!gmtime_r(&t, &utc)) return dos_time(1980, 1, 1, 0, 0, 0);
    return dos_time(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

}  // namespace

TEST(EntryTime, AgreesWithTheUtcCalendar) {
    const TimeClamp none;
    constexpr int64_t DAY = 86400;
    // Every day from 1969 to 2109 (leap days, century 2100, both ends of
    // the DOS range), at a time of day that moves through the whole day.
    for (int64_t day = -400; day < 51500; day++) {
        int64_t seconds = day * DAY + (day * 7919) % DAY;
        ASSERT_EQ(entry_dos_time(seconds, none), by_c_library(seconds)) << seconds;
    }
    for (int64_t seconds : {int64_t(-1), int64_t(0), int64_t(315532799), int64_t(315532800), int64_t(4354819199),
                            int64_t(4354819200), int64_t(-62135596800), int64_t(253402300799)})
        EXPECT_EQ(entry_dos_time(seconds, none), by_c_library(seconds)) << seconds;
}
