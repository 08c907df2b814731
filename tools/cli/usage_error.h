// Bad arguments: one line naming what is wrong (after the command's name,
// when a command is given), a pointer to the help, and exit status 2
// (returned).
#pragma once

int usage_error(const char* what, const char* command = nullptr);
