#include "tools/shared/terminal_text.h"

#include <cstring>

#include "tools/system/system_files.h"

std::string visible_text(const char* text, const char* quoted) {
    static const char hex[] = "0123456789abcdef";
    std::string shown;
    for (const char* p = text; *p; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\\' || (*quoted && strchr(quoted, c))) {
            shown += '\\';
            shown += char(c);
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c < 0x20 || c >= 0x7F) {
            shown += "\\x";
            shown += hex[c >> 4];
            shown += hex[c & 15];
        } else {
            shown += char(c);
        }
    }
    return shown;
}

std::string visible_path(const char* path) {
    std::string shown;
    for (const char* p = path; *p; p++) {
        const char one[2] = {*p, 0};
        shown += is_path_separator(*p) ? std::string(one) : visible_text(one);
    }
    return shown;
}

void write_visible(FILE* out, const char* text, const char* quoted) {
    fputs(visible_text(text, quoted).c_str(), out);
}

std::string counted(uint64_t n, const char* singular, const char* plural) {
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}
