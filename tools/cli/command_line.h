// The words after a command: its options, each known by name and given at
// most once, and its operands. "--" ends the options: every word after it
// is an operand, also one that starts with "-" (or, for a command that
// passes them on, none of the command's own). "--help" (or "-h") among the
// options prints the command's paragraph of the help.
#pragma once

#include <span>
#include <vector>

struct CommandOption {
    const char* name;        // as typed: "-o", "--stub", "--force"
    const char* value_name;  // what its value is, for the message when it is missing; nullptr for a flag
};

struct CommandLine {
    std::span<const CommandOption> options;  // the command's options
    std::vector<const char*> values;         // per option: its value (a flag: its name), or nullptr when not given
    std::vector<const char*> operands;       // the other words, in order
    std::vector<const char*> passed_on;      // the words after "--" of a command that passes them on

    // The value of the option `name` (one of `options`), or nullptr.
    const char* value(const char* name) const;
};

// Parses the words after `command`; with `pass_on`, those after "--" go to
// passed_on. False when the command is to end at once with `status`: 0
// after its help was printed, 2 after a usage error (an unknown option,
// one given twice or without its value) was printed.
bool parse_command_line(const char* command, const char* usage, int argc, char** argv,
                        std::span<const CommandOption> options, CommandLine& line, int& status, bool pass_on = false);
