// The platform of `iunpack run`: the native POSIX one, with every visible
// effect printed to standard error as one line of the trace.
#pragma once

#include "common/platform.h"

enum class Answer { ask, yes, no };

struct TraceOptions {
    const char* module_path;    // the self-extracting file, standing in for the executable
    Answer answer;              // how the question is answered
    const char* setup_command;  // run by /bin/sh -c in the working directory, or nullptr
};

// The table for `run`: the POSIX one with the traced calls swapped in;
// keeps a copy of the options.
Platform trace_platform(const TraceOptions& options);

// `text` as the trace quotes it: '"' and '\' escaped, a newline as \n,
// other bytes outside printable ASCII as \xHH.
void print_quoted(const char* text);
