// Bad arguments: one line naming what is wrong, a pointer to the help, and
// exit status 2 (returned).
#pragma once

int usage_error(const char* what);
