#include "tools/cli/command_line.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/cli/usage_error.h"
#include "tools/shared/terminal_text.h"

const char* CommandLine::value(const char* name) const {
    for (size_t i = 0; i < options.size(); i++)
        if (strcmp(options[i].name, name) == 0) return values[i];
    return nullptr;
}

bool parse_command_line(const char* command, const char* usage, int argc, char** argv,
                        std::span<const CommandOption> options, CommandLine& line, int& status, bool pass_on) {
    line.options = options;
    line.values.assign(options.size(), nullptr);
    line.operands.clear();
    line.passed_on.clear();
    bool options_ended = false;
    for (int i = 0; i < argc; i++) {
        const char* word = argv[i];
        if (options_ended || word[0] != '-' || word[1] == 0) {
            (options_ended && pass_on ? line.passed_on : line.operands).push_back(word);
            continue;
        }
        if (strcmp(word, "--") == 0) {
            options_ended = true;
            continue;
        }
        if (strcmp(word, "--help") == 0 || strcmp(word, "-h") == 0) {
            fputs(usage, stdout);
            status = 0;
            return false;
        }
        size_t k = 0;
        while (k < options.size() && strcmp(options[k].name, word) != 0) k++;
        std::string shown = visible_text(word);
        if (k == options.size()) {
            status = usage_error(("unknown option " + shown).c_str(), command);
            return false;
        }
        if (line.values[k]) {
            status = usage_error((shown + " given twice").c_str(), command);
            return false;
        }
        if (!options[k].value_name) {
            line.values[k] = word;
        } else if (i + 1 == argc) {
            status = usage_error((shown + " needs " + options[k].value_name).c_str(), command);
            return false;
        } else {
            line.values[k] = argv[++i];
        }
    }
    return true;
}
