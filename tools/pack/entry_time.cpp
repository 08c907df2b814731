#include "tools/pack/entry_time.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "encode/arj_writer.h"

namespace {

constexpr int64_t SECONDS_PER_DAY = 86400;
// The times a DOS date and time holds: 1980-01-01 00:00:00 to 2107-12-31
// 23:59:59 (UTC here).
constexpr int64_t DOS_TIME_FIRST = 315532800;
constexpr int64_t DOS_TIME_LAST = 4354819199;

// The proleptic Gregorian date of a day counted from 1970-01-01, by whole
// 400-year eras (146097 days, starting on a March 1st): arithmetic only,
// so every system gives the same date for the same seconds.
void civil_date(int64_t days, int64_t& year, int& month, int& day) {
    days += 719468;  // from 0000-03-01
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t day_of_era = days - era * 146097;  // 0 to 146096
    int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);  // 0 to 365
    int64_t month_from_march = (5 * day_of_year + 2) / 153;                                         // 0 to 11
    day = int(day_of_year - (153 * month_from_march + 2) / 5 + 1);
    month = int(month_from_march < 10 ? month_from_march + 3 : month_from_march - 9);
    year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

bool time_clamp_from_environment(TimeClamp& clamp, std::string& error) {
    const char* value = getenv("SOURCE_DATE_EPOCH");
    clamp.set = false;
    if (!value) return true;
    char* end = nullptr;
    errno = 0;
    long long seconds = strtoll(value, &end, 10);
    if (*value == 0 || *end != 0 || errno == ERANGE) {
        error = std::string("SOURCE_DATE_EPOCH is \"") + value + "\", not a number of seconds";
        return false;
    }
    // A limit outside them would date the main header before its entries.
    if (seconds < DOS_TIME_FIRST || seconds > DOS_TIME_LAST) {
        error = std::string("SOURCE_DATE_EPOCH is ") + value + ", outside the times an archive holds (" +
                std::to_string(DOS_TIME_FIRST) + " to " + std::to_string(DOS_TIME_LAST) +
                ": 1980-01-01 to 2107-12-31 UTC)";
        return false;
    }
    clamp.set = true;
    clamp.limit = seconds;
    return true;
}

uint32_t entry_dos_time(int64_t unix_seconds, const TimeClamp& clamp) {
    if (clamp.set && unix_seconds > clamp.limit) unix_seconds = clamp.limit;
    int64_t days = unix_seconds / SECONDS_PER_DAY, second_of_day = unix_seconds % SECONDS_PER_DAY;
    if (second_of_day < 0) {
        days--;
        second_of_day += SECONDS_PER_DAY;
    }
    int64_t year;
    int month, day;
    civil_date(days, year, month, day);
    // A year that no calendar record of the C library holds: the earliest time.
    if (year - 1900 > INT_MAX || year - 1900 < INT_MIN) return dos_time(1980, 1, 1, 0, 0, 0);
    int second = int(second_of_day);
    // Years past 2107 all give the latest DOS time.
    return dos_time(year > 9999 ? 9999 : int(year), month, day, second / 3600, second / 60 % 60, second % 60);
}
