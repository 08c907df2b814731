# Paths in the binaries are relative to the source tree, wherever it lies.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)

# Warnings for everything the project compiles, and the lean flags of the
# core libraries (they go into the stub: no exceptions, no RTTI).
function(iunpack_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

function(iunpack_core target)
  iunpack_warnings(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
