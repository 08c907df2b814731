// pack's messages on standard error.
#pragma once

#include <string>

// "iunpack pack: error: TEXT"
void pack_error(const std::string& text);
// A problem the launcher would live with: refused as an error, or with
// `force` printed as a warning and accepted. Returns whether it is accepted.
bool pack_problem(bool force, const std::string& text);
