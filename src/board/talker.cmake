# The talker: data/talker/talker.asm assembled by asmhc11 at build time, once
# per family, into a generated source of kavrel_board_rules
# (KAVREL_TALKER_SOURCE); its images and its source also go beside the
# program, in talker/.
#
# A cross build cannot run the asmhc11 it builds: it builds one for this
# machine from the same sources (cmake/host-asmhc11), or takes
# KAVREL_HOST_ASMHC11 when that names one already built.
set(KAVREL_TALKER_ASM ${CMAKE_SOURCE_DIR}/data/talker/talker.asm)
set(KAVREL_TALKER_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/talker_data.cpp)
set(talker_work ${CMAKE_CURRENT_BINARY_DIR}/talker)
set(talker_outputs ${KAVREL_TALKER_SOURCE})
set(KAVREL_HOST_ASMHC11 "" CACHE FILEPATH
    "Cross builds: an asmhc11 that runs on this machine (otherwise one is built)")
if(NOT CMAKE_CROSSCOMPILING)
  set(talker_assembler $<TARGET_FILE:asmhc11>)
  set(talker_assembler_depends asmhc11)
elseif(KAVREL_HOST_ASMHC11)
  set(talker_assembler ${KAVREL_HOST_ASMHC11})
  set(talker_assembler_depends ${KAVREL_HOST_ASMHC11})
else()
  include(ExternalProject)
  set(talker_host_dir ${CMAKE_BINARY_DIR}/host-asmhc11)
  set(talker_assembler ${talker_host_dir}/bin/asmhc11)
  # Neither the toolchain file nor the find root reach it: the host's
  # compiler builds it. Built on every build, a no-op when nothing changed.
  ExternalProject_Add(kavrel_host_asmhc11
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/cmake/host-asmhc11
    BINARY_DIR ${talker_host_dir}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${talker_assembler}
    INSTALL_COMMAND "")
  set(talker_assembler_depends kavrel_host_asmhc11 ${talker_assembler})
endif()

if(NOT KAVREL_RULES_ONLY)
  set(talker_shipped ${KAVREL_PROGRAM_DIR}/talker)
  list(APPEND talker_outputs ${talker_shipped}/talker.asm ${talker_shipped}/talker_a.BOO
       ${talker_shipped}/talker_e.BOO)
endif()
add_custom_command(
  OUTPUT ${talker_outputs}
  COMMAND ${CMAKE_COMMAND} -DASSEMBLER=${talker_assembler} -DSOURCE=${KAVREL_TALKER_ASM}
          -DWORK=${talker_work} -DOUTPUT=${KAVREL_TALKER_SOURCE} "-DSHIPPED=${talker_shipped}"
          -P ${CMAKE_CURRENT_SOURCE_DIR}/embed_talker.cmake
  DEPENDS ${KAVREL_TALKER_ASM} ${CMAKE_CURRENT_SOURCE_DIR}/embed_talker.cmake
          ${talker_assembler_depends}
  COMMENT "Assemblage du programme de dialogue (talker)"
  VERBATIM)

if(NOT KAVREL_RULES_ONLY)
  install(FILES ${talker_shipped}/talker.asm ${talker_shipped}/talker_a.BOO
          ${talker_shipped}/talker_e.BOO DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR}/talker)
endif()
