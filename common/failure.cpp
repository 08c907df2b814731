#include "common/failure.h"

#include "common/platform.h"
#include "common/unpack_state.h"

void show_failure(const char* text) {
    platform->MessageBoxA(unpack.host_window, text, CAPTION, MB_OK);
}

void show_failure_unowned(const char* text) {
    platform->MessageBoxA(nullptr, text, CAPTION, MB_OK);
}
