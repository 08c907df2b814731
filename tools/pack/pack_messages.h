// pack's messages on standard error.
#pragma once

#include <string>

// Why bytes above 127 in a name or the prompt are a problem.
inline constexpr char CODE_PAGE_NOTE[] = "show as different characters on every Windows code page";

// "iunpack pack: error: TEXT"
void pack_error(const std::string& text);
// "cannot write OUTPUT: " and the system's reason for `error` (an errno value).
void pack_write_error(const char* output, int error);
// A problem the launcher would live with: refused as an error that says
// --force lifts it, or with `force` printed as a warning and accepted.
// Returns whether it is accepted.
bool pack_problem(bool force, const std::string& text);
