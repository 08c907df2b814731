#include "common/command_line.h"

#include <cstring>

LaunchOptions launch;

namespace {

// The switches that deployment tools give installers for a run with no
// one at the screen, compared without regard to case, after '/' or '-'.
constexpr const char* QUIET_SWITCHES[] = {"s", "quiet", "qn", "silent", "verysilent"};
constexpr size_t SWITCH_BUFFER = 16;  // longer than every switch: a longer argument is none

bool is_blank(char c) { return c == ' ' || c == '\t'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool is_quiet_switch(const char* argument, size_t length) {
    if (length < 2 || length >= SWITCH_BUFFER || (argument[0] != '/' && argument[0] != '-')) return false;
    for (const char* quiet : QUIET_SWITCHES) {
        size_t i = 0;
        while (quiet[i] && lower(argument[i + 1]) == quiet[i]) i++;
        if (quiet[i] == 0 && i == length - 1) return true;
    }
    return false;
}

}  // namespace

const char* command_line_tail(const char* p) {
    if (*p == '"') {
        // A quoted program name ends at the next quote; nothing escapes it.
        p++;
        while (*p && *p != '"') p++;
        if (*p == '"') p++;
    } else {
        while (*p && !is_blank(*p)) p++;
    }
    while (is_blank(*p)) p++;
    return p;
}

// The rules: blanks outside quotes end an argument; quotes group and are
// dropped; 2n backslashes before a quote give n and the quote groups,
// 2n+1 give n and a literal quote; backslashes before anything else stand
// as they are; inside quotes, a quote right after the closing one is a
// literal quote.
bool next_argument(const char** cursor, char* out, size_t size, size_t* length) {
    const char* p = *cursor;
    while (is_blank(*p)) p++;
    if (*p == 0) {
        *cursor = p;
        return false;
    }
    size_t n = 0;
    auto put = [&](char c) {
        if (n + 1 < size) out[n] = c;
        n++;
    };
    bool quoted = false;
    while (*p && (quoted || !is_blank(*p))) {
        if (*p == '\\') {
            size_t backslashes = 0;
            while (*p == '\\') {
                backslashes++;
                p++;
            }
            if (*p != '"') {
                while (backslashes--) put('\\');
                continue;
            }
            for (size_t i = 0; i < backslashes / 2; i++) put('\\');
            if (backslashes % 2) {
                put('"');
                p++;
                continue;
            }
        }
        if (*p == '"') {
            p++;
            if (quoted && *p == '"') {
                put('"');
                p++;
            }
            quoted = !quoted;
            continue;
        }
        put(*p++);
    }
    if (size) out[n < size ? n : size - 1] = 0;
    *length = n;
    *cursor = p;
    return true;
}

void read_launch_options(const char* command_line) {
    launch.arguments = command_line_tail(command_line);
    launch.quiet = false;
    const char* cursor = launch.arguments;
    char argument[SWITCH_BUFFER];
    size_t length = 0;
    while (next_argument(&cursor, argument, sizeof argument, &length))
        if (is_quiet_switch(argument, length)) launch.quiet = true;
}
