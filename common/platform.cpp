#include "common/platform.h"

const Platform* platform = nullptr;
