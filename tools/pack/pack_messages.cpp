#include "tools/pack/pack_messages.h"

#include <cstdio>
#include <cstring>

#include "tools/shared/terminal_text.h"

void pack_error(const std::string& text) { fprintf(stderr, "iunpack pack: error: %s\n", text.c_str()); }

void pack_write_error(const char* output, int error) {
    pack_error("cannot write " + visible_path(output) + ": " + strerror(error));
}

bool pack_problem(bool force, const std::string& text) {
    if (!force) {
        pack_error(text + " (--force packs it all the same)");
        return false;
    }
    fprintf(stderr, "iunpack pack: warning: %s (packed anyway: --force)\n", text.c_str());
    return true;
}
