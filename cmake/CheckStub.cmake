# Post-build check of the stub: its size against the 49152-byte place (and
# the size goal), and its import table against the DLLs every Windows
# system has. A stub that fails is deleted, so the next build fails again.
file(SIZE "${STUB}" size)
set(problem "")
if(size GREATER LIMIT)
  set(problem "is ${size} bytes, more than the ${LIMIT} bytes before the prompt field")
elseif(size GREATER GOAL)
  set(problem "is ${size} bytes, more than its goal of ${GOAL} bytes")
endif()

if(NOT problem)
  include(${CMAKE_CURRENT_LIST_DIR}/PeImports.cmake)
  check_pe_imports("${STUB}" 2 "GUI-subsystem program" problem dlls)
endif()

if(problem)
  file(REMOVE "${STUB}")
  message(FATAL_ERROR "iunpack-stub.exe ${problem}")
endif()
file(SHA256 "${STUB}" digest)
message(STATUS "iunpack-stub.exe: ${size} bytes (limit ${LIMIT}, goal ${GOAL}), SHA-256 ${digest}")
