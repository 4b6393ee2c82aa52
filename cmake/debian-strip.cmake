# Run by CPack on its staging tree before it builds the .deb: strips every ELF
# file as Debian's own packages are stripped (symbols, the compiler's .comment
# and the .note sections), the build id kept.
if(NOT CPACK_TEMPORARY_DIRECTORY OR NOT CPACK_KAVREL_STRIP)
  message(FATAL_ERROR "debian-strip.cmake : pas de répertoire de préparation ou pas de strip")
endif()
file(GLOB_RECURSE files LIST_DIRECTORIES false ${CPACK_TEMPORARY_DIRECTORY}/*)
foreach(file ${files})
  if(IS_SYMLINK ${file})
    continue()
  endif()
  file(READ ${file} magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(
      COMMAND ${CPACK_KAVREL_STRIP} --remove-section=.comment --remove-section=.note
              --strip-unneeded ${file}
      RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "strip a échoué sur ${file}")
    endif()
  endif()
endforeach()
