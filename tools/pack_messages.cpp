#include "tools/pack_messages.h"

#include <cstdio>

void pack_error(const std::string& text) { fprintf(stderr, "iunpack pack: error: %s\n", text.c_str()); }

bool pack_problem(bool force, const std::string& text) {
    if (!force) {
        pack_error(text);
        return false;
    }
    fprintf(stderr, "iunpack pack: warning: %s (packed anyway: --force)\n", text.c_str());
    return true;
}
