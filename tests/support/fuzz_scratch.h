// Where a fuzz target unpacks: one directory per fuzzing process.
#pragma once

#include <string>

// A fresh directory under $TMPDIR (or /tmp) named after `target`, made at
// the first call and the same for every later one; ends with '/'. Aborts
// when it cannot be made: the target cannot run without it.
std::string fuzz_scratch_dir(const char* target);
