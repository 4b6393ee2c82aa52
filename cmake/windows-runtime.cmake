# The files a Windows program directory needs beside kavrel.exe when Kavrel is
# built with the cross Qt of scripts/windows-qt: the Qt and QScintilla DLLs
# (Qt Serial Port's too once a target links it),
# the platform plugins (windows; offscreen for the tests), the style plugin,
# the compiler's runtime DLLs and the French translations of Qt's dialogs and
# of the text box. Copied into the program directory of the build tree, so
# that the program and its tests start from there, and installed beside it.

if(NOT WIN32 OR KAVREL_RULES_ONLY)
  return()
endif()

# Found again here: imported targets belong to the folder that found them.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets PrintSupport)

# The optional Qt modules are named nowhere else than where they are linked:
# whether some target of the project links one is read from the targets.
include(${CMAKE_CURRENT_LIST_DIR}/qt-module-links.cmake)
kavrel_collect_targets(allTargets ${CMAKE_SOURCE_DIR})
set(shipped)
foreach(program kavrel asmhc11 sim11)
  if(TARGET ${program})
    list(APPEND shipped ${program})
  endif()
endforeach()
# Copied into the build tree's program directory when any program links the
# module (a test program too); installed when a shipped program does.
kavrel_links_qt_module(KAVREL_WINDOWS_SERIALPORT SerialPort ${allTargets})
kavrel_links_qt_module(KAVREL_WINDOWS_SERIALPORT_SHIPPED SerialPort ${shipped})

set(runtime)
set(platforms)
set(styles)
foreach(module Core Gui Widgets PrintSupport)
  list(APPEND runtime $<TARGET_FILE:Qt6::${module}>)
endforeach()
if(KAVREL_WINDOWS_SERIALPORT)
  find_package(Qt6 REQUIRED COMPONENTS SerialPort)
  set(serialPortDll $<TARGET_FILE:Qt6::SerialPort>)
  if(KAVREL_WINDOWS_SERIALPORT_SHIPPED)
    list(APPEND runtime ${serialPortDll})
  endif()
endif()
list(APPEND platforms $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>)
if(TARGET Qt6::QOffscreenIntegrationPlugin)
  list(APPEND platforms $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin>)
endif()
if(TARGET Qt6::QWindowsVistaStylePlugin)
  list(APPEND styles $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>)
endif()

# QScintilla's DLL sits beside its import library.
get_filename_component(qsciFolder ${QSCINTILLA_LIBRARY} DIRECTORY)
find_file(KAVREL_QSCINTILLA_DLL qscintilla2_qt6.dll
  PATHS ${qsciFolder} ${qsciFolder}/../bin NO_DEFAULT_PATH REQUIRED)
list(APPEND runtime ${KAVREL_QSCINTILLA_DLL})

# The compiler's own DLLs, which the Qt DLLs and the programs share.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    message(FATAL_ERROR "${dll} est introuvable pour ${CMAKE_CXX_COMPILER}")
  endif()
  get_filename_component(found ${found} REALPATH)
  list(APPEND runtime ${found})
endforeach()

# The translations are the same files on every system: the host's.
foreach(name qtbase_fr qscintilla_fr)
  find_file(KAVREL_${name}_QM ${name}.qm
    PATHS /usr/share/qt6/translations NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)
  list(APPEND runtime ${KAVREL_${name}_QM})
endforeach()

# The UI test programs also need Qt's test library, which is not installed.
set(testOnly)
if(KAVREL_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  set(testOnly $<TARGET_FILE:Qt6::Test>)
endif()
if(KAVREL_WINDOWS_SERIALPORT AND NOT KAVREL_WINDOWS_SERIALPORT_SHIPPED)
  list(APPEND testOnly ${serialPortDll})
endif()

set(stamp ${CMAKE_BINARY_DIR}/windows-runtime.stamp)
set(copyStyles)
if(styles)
  set(copyStyles COMMAND ${CMAKE_COMMAND} -E copy_if_different ${styles} ${KAVREL_PROGRAM_DIR}/styles)
endif()
add_custom_command(
  OUTPUT ${stamp}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KAVREL_PROGRAM_DIR}/platforms ${KAVREL_PROGRAM_DIR}/styles
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${runtime} ${testOnly} ${KAVREL_PROGRAM_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${platforms} ${KAVREL_PROGRAM_DIR}/platforms
  ${copyStyles}
  COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
  DEPENDS ${runtime} ${testOnly} ${platforms} ${styles}
  COMMENT "Copie des DLL de Qt et de QScintilla dans le répertoire du programme"
  VERBATIM)
add_custom_target(kavrel_windows_runtime ALL DEPENDS ${stamp})
add_dependencies(kavrel kavrel_windows_runtime)
# The UI test programs start from the program directory too, whichever
# module they test.
foreach(target ${allTargets})
  if(target MATCHES "^kavrel_[a-z]+_ui_tests$")
    add_dependencies(${target} kavrel_windows_runtime)
  endif()
endforeach()

install(FILES ${runtime} DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR})
# The offscreen platform only serves the tests.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
        DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR}/platforms)
if(styles)
  install(FILES ${styles} DESTINATION ${KAVREL_INSTALL_PROGRAM_DIR}/styles)
endif()
