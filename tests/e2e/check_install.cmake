# Installs the build into a fresh prefix, then under DESTDIR, and checks the
# tree: one program directory holding everything, a link in bin, the desktop
# entry, the icon and the documentation.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DWITH_ASSEMBLER=ON|OFF -P check_install.cmake
cmake_minimum_required(VERSION 3.25)

set(failures 0)
macro(fail text)
  message(SEND_ERROR "ÉCHEC : ${text}")
  math(EXPR failures "${failures} + 1")
endmacro()

function(check_tree root)
  set(programDir ${root}/lib/kavrel)
  set(expected kavrel Kavrel.hlp LANCEUR.sh exemples/bonjour.asm exemples/tonalite.asm
      talker/talker.asm talker/talker_a.BOO talker/talker_e.BOO)
  if(WITH_ASSEMBLER)
    list(APPEND expected asmhc11 asmhc11.hlp)
  endif()
  foreach(name ${expected})
    if(NOT EXISTS ${programDir}/${name} OR IS_DIRECTORY ${programDir}/${name})
      fail("${programDir}/${name} manque")
    endif()
  endforeach()
  foreach(program kavrel LANCEUR.sh)
    execute_process(COMMAND test -x ${programDir}/${program} RESULT_VARIABLE notExecutable)
    if(notExecutable)
      fail("${programDir}/${program} n'est pas exécutable")
    endif()
  endforeach()
  file(READ ${CMAKE_CURRENT_LIST_DIR}/../../data/Kavrel.hlp shipped HEX)
  file(READ ${programDir}/Kavrel.hlp installed HEX)
  if(NOT shipped STREQUAL installed)
    fail("Kavrel.hlp installé diffère de data/Kavrel.hlp")
  endif()

  # The links must be relative, so the tree can move (DESTDIR, a package).
  set(linked kavrel)
  if(WITH_ASSEMBLER)
    list(APPEND linked asmhc11 sim11)
  endif()
  foreach(program ${linked})
    set(link ${root}/bin/${program})
    if(NOT IS_SYMLINK ${link})
      fail("${link} n'est pas un lien")
    else()
      file(READ_SYMLINK ${link} target)
      if(NOT target STREQUAL "../lib/kavrel/${program}")
        fail("${link} mène à ${target}")
      endif()
      file(REAL_PATH ${link} resolved)
      file(REAL_PATH ${programDir}/${program} real)
      if(NOT resolved STREQUAL real)
        fail("${link} ne mène pas au programme (${resolved})")
      endif()
    endif()
  endforeach()

  set(desktop ${root}/share/applications/kavrel.desktop)
  if(NOT EXISTS ${desktop})
    fail("${desktop} manque")
  else()
    file(STRINGS ${desktop} lines)
    foreach(line "Name=Kavrel" "Exec=kavrel" "Icon=kavrel" "Categories=Development;IDE;")
      if(NOT line IN_LIST lines)
        fail("${desktop} ne contient pas ${line}")
      endif()
    endforeach()
  endif()
  if(NOT EXISTS ${root}/share/icons/hicolor/scalable/apps/kavrel.svg)
    fail("l'icône manque sous ${root}/share/icons")
  endif()
  # What a distribution expects beside them: manual pages, copyright,
  # changelog, the software centres' description.
  foreach(file share/man/man1/kavrel.1.gz share/doc/kavrel/copyright
               share/doc/kavrel/changelog.gz share/metainfo/org.kavrel.kavrel.metainfo.xml)
    if(NOT EXISTS ${root}/${file})
      fail("${root}/${file} manque")
    endif()
  endforeach()
  if(WITH_ASSEMBLER AND NOT EXISTS ${root}/share/man/man1/asmhc11.1.gz)
    fail("${root}/share/man/man1/asmhc11.1.gz manque")
  endif()
  set(failures ${failures} PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})

# An ordinary prefix.
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE result OUTPUT_QUIET)
if(result)
  message(FATAL_ERROR "ÉCHEC : cmake --install a échoué (${result})")
endif()
check_tree(${WORK_DIR}/prefix)

# As a package builds it: DESTDIR in front of /usr.
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${WORK_DIR}/dest
                        ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
                RESULT_VARIABLE result OUTPUT_QUIET)
if(result)
  message(FATAL_ERROR "ÉCHEC : cmake --install avec DESTDIR a échoué (${result})")
endif()
check_tree(${WORK_DIR}/dest/usr)

if(failures)
  message(FATAL_ERROR "${failures} vérification(s) en échec")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
message(STATUS "Installation conforme")
