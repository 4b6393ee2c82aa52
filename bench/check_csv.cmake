# Runs a benchmark program as scripts/bench runs it, written as CSV, but each
# benchmark once and briefly (KAVREL_BENCH_QUICK=1 in the environment). Fails
# unless the program ends well with a row for every benchmark it lists and
# none of them in error.
#   cmake -DPROGRAM=<program> -P check_csv.cmake
execute_process(COMMAND ${PROGRAM} --benchmark_list_tests=true
  OUTPUT_VARIABLE listed RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --benchmark_list_tests a échoué (${status})")
endif()
string(REGEX MATCHALL "[^\n]+" names "${listed}")
list(LENGTH names expected)

execute_process(COMMAND ${PROGRAM} --benchmark_format=csv --benchmark_min_time=0.001
  OUTPUT_VARIABLE csv ERROR_VARIABLE log RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} a échoué (${status}) :\n${log}")
endif()
if(NOT csv MATCHES "^name,iterations,real_time,cpu_time,time_unit,")
  message(FATAL_ERROR "pas d'en-tête CSV :\n${csv}\n${log}")
endif()
string(REGEX MATCHALL "\n\"[^\n]*" rows "${csv}")
list(LENGTH rows count)
if(NOT count EQUAL expected)
  message(FATAL_ERROR "${count} lignes pour ${expected} benchmarks :\n${csv}\n${log}")
endif()
foreach(row ${rows})
  if(row MATCHES ",true,\"")
    message(FATAL_ERROR "benchmark en erreur :${row}\n${log}")
  endif()
endforeach()
