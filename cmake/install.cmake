# Files shipped beside the program, its installation and its Debian package.
#
# The program directory holds kavrel, Kavrel.hlp, LANCEUR.sh, the assembler
# with its help and the example programs (exemples/): in the build tree (${KAVREL_PROGRAM_DIR}) as in the
# installed tree (<prefix>/${KAVREL_INSTALL_PROGRAM_DIR}).

set(KAVREL_DATA_DIR ${CMAKE_SOURCE_DIR}/data)
# The software centres' name for Kavrel (data/<id>.metainfo.xml).
set(KAVREL_APPSTREAM_ID org.kavrel.kavrel)
set(KAVREL_PROGRAM_FILES ${KAVREL_DATA_DIR}/Kavrel.hlp)
if(WIN32)
  # The launcher of the batch mode, run by the command interpreter.
  set(KAVREL_LAUNCHER ${KAVREL_DATA_DIR}/LANCEUR.BAT)
else()
  set(KAVREL_LAUNCHER ${KAVREL_DATA_DIR}/LANCEUR.sh)
endif()
list(APPEND KAVREL_PROGRAM_FILES ${KAVREL_LAUNCHER})

# Copied at build time, so the program started from the build tree finds its
# help and its launcher. The Windows launch tests run the batch file of the
# rules-only build too.
set(toCopy ${KAVREL_PROGRAM_FILES})
if(KAVREL_RULES_ONLY)
  set(toCopy)
  if(WIN32)
    set(toCopy ${KAVREL_LAUNCHER})
  endif()
endif()
if(toCopy)
  set(copied)
  foreach(file ${toCopy})
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
endif()

# The example programs of "Exécution" > "Exemples", in the "exemples" folder
# of the program directory (Kavrel copies one into the user's documents before
# opening it).
file(GLOB KAVREL_EXAMPLES CONFIGURE_DEPENDS ${KAVREL_DATA_DIR}/examples/*.asm)
if(NOT KAVREL_RULES_ONLY)
  set(examplesCopied)
  foreach(file ${KAVREL_EXAMPLES})
    get_filename_component(name ${file} NAME)
    add_custom_command(
      OUTPUT ${KAVREL_PROGRAM_DIR}/exemples/${name}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KAVREL_PROGRAM_DIR}/exemples
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${KAVREL_PROGRAM_DIR}/exemples/${name}
      DEPENDS ${file}
      COMMENT "Copie de l'exemple ${name} dans le répertoire du programme"
      VERBATIM)
    list(APPEND examplesCopied ${KAVREL_PROGRAM_DIR}/exemples/${name})
  endforeach()
  add_custom_target(kavrel_examples ALL DEPENDS ${examplesCopied})
endif()

if(NOT KAVREL_RULES_ONLY)
  add_dependencies(kavrel kavrel_program_files kavrel_examples)

  install(TARGETS kavrel RUNTIME DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR})
  install(FILES ${KAVREL_DATA_DIR}/Kavrel.hlp DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR})
  install(PROGRAMS ${KAVREL_LAUNCHER} DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR})
  install(FILES ${KAVREL_EXAMPLES} DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR}/exemples)
  # Windows: Qt, QScintilla and the compiler's DLLs beside the program.
  include(${CMAKE_CURRENT_LIST_DIR}/windows-runtime.cmake)

  if(UNIX)
    # <prefix>/bin/kavrel leads to the program directory; Qt resolves the link
    # when it answers the program's own directory. The tools shipped beside it
    # (asmhc11, sim11) are on the PATH the same way, as their manual pages say.
    foreach(program kavrel asmhc11 sim11)
      file(RELATIVE_PATH link_target /${CMAKE_INSTALL_BINDIR}
           /${KAVREL_INSTALL_PROGRAM_DIR}/${program})
      # Installed after the program directory; a tool left out of the build
      # gets no link.
      install(CODE "
        set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
        set(bindir \"\${root}/${CMAKE_INSTALL_BINDIR}\")
        if(EXISTS \"\${root}/${KAVREL_INSTALL_PROGRAM_DIR}/${program}\" OR \"${program}\" STREQUAL kavrel)
          file(MAKE_DIRECTORY \"\${bindir}\")
          file(REMOVE \"\${bindir}/${program}\")
          file(CREATE_LINK \"${link_target}\" \"\${bindir}/${program}\" SYMBOLIC)
          message(STATUS \"Installing: \${bindir}/${program} -> ${link_target}\")
        endif()
      ")
    endforeach()

    # The desktop's menus and the software centres.
    install(FILES ${KAVREL_DATA_DIR}/kavrel.desktop
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
    install(FILES ${KAVREL_DATA_DIR}/kavrel.svg
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
    install(FILES ${KAVREL_DATA_DIR}/${KAVREL_APPSTREAM_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

    # Manual pages (data/<program>.1.in for each program built, the version
    # filled in) and the changelog, compressed as Debian ships them: gzip -9n
    # leaves no name nor date in the file, so the same sources give the same
    # bytes.
    find_program(KAVREL_GZIP gzip REQUIRED)
    set(docBuildDir ${CMAKE_BINARY_DIR}/doc)
    set(compressed)
    file(GLOB manPages CONFIGURE_DEPENDS ${KAVREL_DATA_DIR}/*.1.in)
    set(toCompress)
    foreach(page ${manPages})
      get_filename_component(name ${page} NAME_WLE)
      get_filename_component(program ${name} NAME_WLE)
      if(TARGET ${program})
        configure_file(${page} ${docBuildDir}/source/${name} @ONLY)
        list(APPEND toCompress ${docBuildDir}/source/${name})
      endif()
    endforeach()
    list(APPEND toCompress ${KAVREL_DATA_DIR}/changelog)
    foreach(file ${toCompress})
      get_filename_component(name ${file} NAME)
      add_custom_command(
        OUTPUT ${docBuildDir}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${file} ${docBuildDir}/${name}
        COMMAND ${KAVREL_GZIP} -9nf ${docBuildDir}/${name}
        DEPENDS ${file}
        COMMENT "Compression de ${name}"
        VERBATIM)
      list(APPEND compressed ${docBuildDir}/${name}.gz)
      if(name MATCHES "\\.1$")
        install(FILES ${docBuildDir}/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
      endif()
    endforeach()
    add_custom_target(kavrel_documentation ALL DEPENDS ${compressed})

    # CMAKE_INSTALL_DOCDIR would follow the project's name, Kavrel; Debian
    # wants the package's.
    install(FILES ${KAVREL_DATA_DIR}/copyright ${docBuildDir}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kavrel)
    install(FILES ${KAVREL_DATA_DIR}/kavrel.lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME kavrel)
  endif()

  # A .deb of the same tree. Build it from a tree configured with
  # cmake/debian-package.cmake (release build, Debian's hardening flags).
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME kavrel)
  set(CPACK_PACKAGE_VENDOR "Équipe Kavrel")
  set(CPACK_PACKAGE_CONTACT "Équipe Kavrel <equipe@kavrel.org>")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "Panneau de commande pour assembleur MOTOROLA ASMHC11")
  # The extended description, below the summary; CPack indents its lines and
  # turns the empty one into the paragraph break of a control file.
  string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Kavrel est un petit éditeur multi-documents qui sert de panneau de\n"
    "commande à l'assembleur asmhc11 du microcontrôleur 68HC11. Dans une\n"
    "seule fenêtre, on crée, ouvre, modifie et enregistre des programmes\n"
    "source (.asc), des listings (.lst) et des fichiers texte (.txt), puis\n"
    "on assemble le programme de la fenêtre active vers S19, directement ou\n"
    "par un lanceur dans un terminal, ou vers une image BOO pour le mode\n"
    "bootstrap.\n"
    "\n"
    "Le paquet fournit aussi l'assembleur asmhc11, le simulateur sim11 et\n"
    "leur aide en français, installés à côté du programme dans\n"
    "/usr/lib/kavrel.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # No debugging symbols in the package, as Debian ships its binaries.
  set(CPACK_KAVREL_STRIP ${CMAKE_STRIP})
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian-strip.cmake)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the binaries link (Qt, QScintilla, the C++ runtime), as
  # dpkg-shlibdeps finds them, with their minimal versions.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # French texts in Qt's own dialogs; a terminal for the launcher of the batch mode.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, libqscintilla2-qt6-l10n")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xterm | x-terminal-emulator")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  include(CPack)
endif()
