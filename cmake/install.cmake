# Files shipped beside the program, its installation and its Debian package.
#
# The program directory holds kavrel, Kavrel.hlp, LANCEUR.sh and the
# assembler with its help: in the build tree (${KAVREL_PROGRAM_DIR}) as in the
# installed tree (<prefix>/${KAVREL_INSTALL_PROGRAM_DIR}).

set(KAVREL_DATA_DIR ${CMAKE_SOURCE_DIR}/data)
set(KAVREL_PROGRAM_FILES ${KAVREL_DATA_DIR}/Kavrel.hlp)
if(NOT WIN32)
  # The launcher of the batch mode; Windows has its own batch file.
  list(APPEND KAVREL_PROGRAM_FILES ${KAVREL_DATA_DIR}/LANCEUR.sh)
endif()

if(NOT KAVREL_RULES_ONLY)
  # Copied at build time, so the program started from the build tree finds its
  # help and its launcher.
  set(copied)
  foreach(file ${KAVREL_PROGRAM_FILES})
    get_filename_component(name ${file} NAME)
    add_custom_command(
      OUTPUT ${KAVREL_PROGRAM_DIR}/${name}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${KAVREL_PROGRAM_DIR}/${name}
      DEPENDS ${file}
      COMMENT "Copie de ${name} dans le répertoire du programme"
      VERBATIM)
    list(APPEND copied ${KAVREL_PROGRAM_DIR}/${name})
  endforeach()
  add_custom_target(kavrel_program_files ALL DEPENDS ${copied})
  add_dependencies(kavrel kavrel_program_files)

  install(TARGETS kavrel RUNTIME DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR})
  install(FILES ${KAVREL_DATA_DIR}/Kavrel.hlp DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR})
  if(NOT WIN32)
    install(PROGRAMS ${KAVREL_DATA_DIR}/LANCEUR.sh DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR})
  endif()

  if(UNIX)
    # <prefix>/bin/kavrel leads to the program directory; Qt resolves the link
    # when it answers the program's own directory.
    file(RELATIVE_PATH KAVREL_LINK_TARGET /${CMAKE_INSTALL_BINDIR}
         /${KAVREL_INSTALL_PROGRAM_DIR}/kavrel)
    install(CODE "
      set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      file(MAKE_DIRECTORY \"\${bindir}\")
      file(REMOVE \"\${bindir}/kavrel\")
      file(CREATE_LINK \"${KAVREL_LINK_TARGET}\" \"\${bindir}/kavrel\" SYMBOLIC)
      message(STATUS \"Installing: \${bindir}/kavrel -> ${KAVREL_LINK_TARGET}\")
    ")

    # The desktop's menus.
    install(FILES ${KAVREL_DATA_DIR}/kavrel.desktop
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
    install(FILES ${KAVREL_DATA_DIR}/kavrel.svg
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
  endif()

  # A .deb of the same tree.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME kavrel)
  set(CPACK_PACKAGE_VENDOR Kavrel)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "Panneau de commande pour assembleur MOTOROLA ASMHC11")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER Kavrel)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libqscintilla2-qt6-15")
  # French texts in Qt's own dialogs; a terminal for the launcher of the batch mode.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, libqscintilla2-qt6-l10n")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xterm | x-terminal-emulator")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  include(CPack)
endif()
