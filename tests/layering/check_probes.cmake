# Builds every probe of one module, going on after failures, and passes only
# when each probe failed because its header could not be found.
string(REPLACE "|" ";" probes "${PROBES}")
string(REPLACE "|" ";" headers "${HEADERS}")
set(keep_going)
if(GENERATOR MATCHES "Ninja")
  set(keep_going -- -k 0)
elseif(GENERATOR MATCHES "Makefiles")
  set(keep_going -- -k)
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${probes} ${keep_going}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
set(reached)
foreach(header ${headers})
  string(REPLACE "." "\\." pattern "${header}")
  # g++ and mingw say "<header>: No such file", clang "'<header>' file not found".
  if(NOT output MATCHES "${pattern}: No such file" AND NOT output MATCHES "'${pattern}' file not found")
    list(APPEND reached ${header})
  endif()
endforeach()
if(reached OR status EQUAL 0)
  message(FATAL_ERROR "Inclusions qui auraient dû échouer mais ont été trouvées (ou un autre échec) : ${reached}\n${output}")
endif()
list(LENGTH probes count)
message(STATUS "${count} inclusions interdites, aucune trouvée")
