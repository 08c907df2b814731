// How Windows compares file names, as every command that shows or checks
// the launcher's output names needs it.
#pragma once

#include <string>

// `name` with ASCII capitals made small: names equal this way are one
// file on Windows.
std::string fold_case(const std::string& name);

// True when `name` is setup.exe in any letter case.
bool is_setup_name(const std::string& name);
