# Cross compiling the product: the 32-bit Windows stub.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A section per function, so that the linker drops what the stub
# does not use; no unwind tables and no stack protector runtime.
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fno-asynchronous-unwind-tables -fno-stack-protector")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fno-asynchronous-unwind-tables -fno-stack-protector")
