#include "tools/entry_time.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "encode/arj_writer.h"

bool time_clamp_from_environment(TimeClamp& clamp, std::string& error) {
    const char* value = getenv("SOURCE_DATE_EPOCH");
    clamp.set = false;
    if (!value) return true;
    char* end = nullptr;
    errno = 0;
    long long seconds = strtoll(value, &end, 10);
    if (*value == 0 || *end != 0 || errno == ERANGE || seconds < 0) {
        error = std::string("SOURCE_DATE_EPOCH is \"") + value + "\", not a number of seconds";
        return false;
    }
    clamp.set = true;
    clamp.limit = seconds;
    return true;
}

uint32_t entry_dos_time(int64_t unix_seconds, const TimeClamp& clamp) {
    if (clamp.set && unix_seconds > clamp.limit) unix_seconds = clamp.limit;
    time_t t = time_t(unix_seconds);
    struct tm utc {};
    if (!gmtime_r(&t, &utc)) return dos_time(1980, 1, 1, 0, 0, 0);
    return dos_time(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}
