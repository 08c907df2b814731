// Runs the iunpack binary under test through the shell, and splits what it
// printed into lines.
#pragma once

#include <string>
#include <vector>

// Runs `prefix` (variable assignments, or shell text ending in "&&" or
// "&"), the binary, then `arguments` (its words and any shell text after
// them). Returns the exit status; standard output goes to `out`, standard
// error to `err`, or to `out` too when `err` is null.
int run_iunpack(const std::string& arguments, std::string* out, std::string* err = nullptr,
                const std::string& prefix = "");
std::vector<std::string> lines_of(const std::string& text);
