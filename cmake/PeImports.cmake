# Shared by the post-build checks (cmake -P scripts): reads the PE file's
# import table and subsystem with objdump. Sets PROBLEM to what is wrong
# (empty when nothing is) and DLLS to the imported DLLs, upper case: only
# DLLs that every Windows system has may be imported, and the subsystem
# must be SUBSYSTEM (2: GUI, 3: console), named SUBSYSTEM_NAME in the text.
function(check_pe_imports FILE SUBSYSTEM SUBSYSTEM_NAME PROBLEM DLLS)
  execute_process(COMMAND "${OBJDUMP}" -p "${FILE}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  set(problem "")
  set(dlls "")
  if(failed)
    set(problem "cannot be read by ${OBJDUMP}")
  else()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
    foreach(entry IN LISTS imports)
      string(REPLACE "DLL Name: " "" dll "${entry}")
      string(TOUPPER "${dll}" dll)
      list(APPEND dlls ${dll})
      if(NOT dll MATCHES "^(KERNEL32|USER32|GDI32|ADVAPI32|MSVCRT)\\.DLL$")
        set(problem "imports ${dll}, which is not a system DLL")
      endif()
    endforeach()
    if(NOT dump MATCHES "Subsystem[\t ]+0+${SUBSYSTEM}[\t ]")
      set(problem "is not a ${SUBSYSTEM_NAME}")
    endif()
  endif()
  set(${PROBLEM} "${problem}" PARENT_SCOPE)
  set(${DLLS} "${dlls}" PARENT_SCOPE)
endfunction()
