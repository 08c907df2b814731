#include "common/unpack_state.h"

UnpackState unpack;
