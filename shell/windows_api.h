// <windows.h> for the Win32 layer. The project's tables name the Win32
// constants it uses as typed constants of the same names and values;
// <windows.h> defines them as macros, which would rewrite those
// declarations, so its macros of these names are dropped here.
#pragma once

#include <windows.h>

#undef MB_OK
#undef MB_YESNO
#undef MB_SETFOREGROUND
#undef IDYES
#undef IDNO
#undef SW_HIDE
#undef SW_SHOW
#undef WM_CREATE
#undef WM_DESTROY
#undef WM_PAINT
#undef SE_PRIVILEGE_ENABLED
#undef EWX_REBOOT
#undef GMEM_MOVEABLE
#undef GMEM_ZEROINIT
#undef INVALID_FILE_ATTRIBUTES
#undef FILE_ATTRIBUTE_DIRECTORY
#undef FILE_ATTRIBUTE_NORMAL
#undef FILE_ATTRIBUTE_REPARSE_POINT
#undef CS_HREDRAW
#undef CS_VREDRAW
#undef WS_DISABLED
#undef IDI_APPLICATION
#undef IDC_ARROW
#undef LTGRAY_BRUSH
#undef SM_CXSCREEN
#undef SM_CYSCREEN
#undef COLOR_BTNFACE
#undef TOKEN_QUERY
#undef ERROR_ELEVATION_REQUIRED
#undef ERROR_CANCELLED
#undef ERROR_NOT_ENOUGH_MEMORY
#undef ERROR_FILENAME_EXCED_RANGE

#include "common/platform.h"
#include "shell/host_platform.h"
