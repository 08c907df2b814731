# Cross compiling the same code as a 64-bit Windows program, to run it under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A section per function, so that the linker drops what the stub
# does not use; no unwind tables and no stack protector runtime.
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fno-asynchronous-unwind-tables -fno-stack-protector")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fno-asynchronous-unwind-tables -fno-stack-protector")
