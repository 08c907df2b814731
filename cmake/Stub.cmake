# iunpack-stub.exe: the launcher that becomes an installer when the prompt
# field and an archive are appended. It must fit the 49152 bytes before the
# prompt field, so it is built without the C runtime start-up code, C++
# runtime, exceptions or unwind tables, and links only the system DLLs.
enable_language(RC)

add_executable(iunpack-stub WIN32
  ${PROJECT_SOURCE_DIR}/shell/stub_entry.cpp
  ${PROJECT_SOURCE_DIR}/shell/platform_win32.cpp
  ${PROJECT_SOURCE_DIR}/shell/host_platform_win32.cpp
  ${PROJECT_SOURCE_DIR}/shell/resources/stub.rc)
iunpack_core(iunpack-stub)
target_link_libraries(iunpack-stub PRIVATE iunpack_host)
target_link_options(iunpack-stub PRIVATE
  -nostartfiles -nostdlib -s -Wl,--gc-sections -Wl,--subsystem,windows)

# The same sources give the same bytes, in any folder on any day: the PE
# header carries no link time (and so no checksum that changes with it),
# or SOURCE_DATE_EPOCH's when that is set when the build is configured,
# as reproducible-build tools expect; no path of the build reaches the
# binary.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set_property(TARGET iunpack-stub PROPERTY RULE_LAUNCH_LINK
    "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH}")
else()
  target_link_options(iunpack-stub PRIVATE -Wl,--no-insert-timestamp)
endif()
# The import libraries of the allowed DLLs, last on the line after every
# static library; libgcc only for the helpers the compiler calls (stack
# probes, 64-bit division on i686), linked in.
set(CMAKE_CXX_STANDARD_LIBRARIES "-lmingwex -lmsvcrt -lkernel32 -luser32 -lgdi32 -ladvapi32 -lgcc")
set_target_properties(iunpack-stub PROPERTIES LINKER_LANGUAGE CXX)

# The stub must fit its place; the i686 product is held to a tighter goal.
set(IUNPACK_STUB_LIMIT 49152)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(IUNPACK_STUB_GOAL 28672)
else()
  set(IUNPACK_STUB_GOAL 49152)
endif()
add_custom_command(TARGET iunpack-stub POST_BUILD
  COMMAND ${CMAKE_COMMAND}
    -DSTUB=$<TARGET_FILE:iunpack-stub>
    -DLIMIT=${IUNPACK_STUB_LIMIT}
    -DGOAL=${IUNPACK_STUB_GOAL}
    -DOBJDUMP=${CMAKE_OBJDUMP}
    -P ${PROJECT_SOURCE_DIR}/cmake/CheckStub.cmake
  VERBATIM)
