# Post-build check of iunpack.exe: a console program that runs on a plain
# Windows, importing only DLLs that every Windows system has (the C++
# runtime and libgcc are linked in). A tool that fails is deleted, so the
# next build fails again.
include(${CMAKE_CURRENT_LIST_DIR}/PeImports.cmake)
check_pe_imports("${TOOL}" 3 "console program" problem dlls)

if(problem)
  file(REMOVE "${TOOL}")
  message(FATAL_ERROR "iunpack.exe ${problem}")
endif()
file(SIZE "${TOOL}" size)
list(JOIN dlls " " dlls)
message(STATUS "iunpack.exe: ${size} bytes, imports ${dlls}")
