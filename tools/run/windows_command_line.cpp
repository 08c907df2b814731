#include "tools/run/windows_command_line.h"

// Inside quotes, backslashes are literal except before a quote: there 2n
// backslashes give n and end the quotes, 2n+1 give n and a quote. So the
// backslashes before a quote of the word, and those before the closing
// quote, are doubled.
std::string quote_windows_argument(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    return quoted;
}

std::string windows_command_line(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty()) line += ' ';
        line += quote_windows_argument(word);
    }
    return line;
}
