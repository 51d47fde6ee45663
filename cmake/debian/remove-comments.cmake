# Run by CPack on the staged files before the package is made: the compiler's
# version notes (.comment) are of no use in a shipped binary, and Debian's
# own packaging drops them the same way.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file ${staged})
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND "${CPACK_FOLIM_OBJCOPY}" --remove-section=.comment "${file}"
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "objcopy failed on ${file}")
    endif()
  endif()
endforeach()
