#include "tests/support/iunpack_run.h"

#include <sstream>

#include "tests/support/files.h"

int run_iunpack(const std::string& arguments, std::string* out, std::string* err, const std::string& prefix) {
    std::string command = prefix + " " + IUNPACK_TOOL + " " + arguments;
    return err ? run_command(command, out, err) : run_command(command + " 2>&1", out);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
