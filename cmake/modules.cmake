# kavrel_module(<target> [QT] [EXECUTABLE_LINK] HEADERS <header>...
#               [INTERNAL_HEADERS <header>...] [SOURCES <source>...]
#               [USES <module>...] [LINKS <library>...])
#
# One module of src/ or tools/: a static library of its sources (an interface
# library when it has none) whose users see only the headers it lists. Each
# module gets an include root of its own in the build tree that holds links to
# its headers under their paths in their folder's parent ("editor/editeur.h",
# "asmhc11/assembler.h"); a user reaches the roots of the modules it links,
# and no other. An include that goes back up (the editor including
# "app/principal.h") then does not build.
#
# USES names the modules it may include: that list, declared once here for
# every module, is also what tests/layering turns into the includes that must
# not build. LINKS are other libraries (Qt, system ones), linked the same way.
# INTERNAL_HEADERS are seen by the module itself and by the tests that ask
# for them (kavrel_module_internals), never by other modules.
function(kavrel_module target)
  cmake_parse_arguments(M "QT" "" "HEADERS;INTERNAL_HEADERS;SOURCES;USES;LINKS" ${ARGN})
  if(M_SOURCES)
    add_library(${target} STATIC ${M_SOURCES})
    set(scope PUBLIC)
  else()
    add_library(${target} INTERFACE)
    set(scope INTERFACE)
  endif()
  get_filename_component(base ${CMAKE_CURRENT_SOURCE_DIR} DIRECTORY)
  set(root ${CMAKE_BINARY_DIR}/modules/${target})
  set(internal ${CMAKE_BINARY_DIR}/modules/${target}-internal)
  # Made anew at each configure, so a header taken out of the list goes too.
  file(REMOVE_RECURSE ${root} ${internal})
  file(MAKE_DIRECTORY ${root})
  foreach(header ${M_HEADERS})
    get_filename_component(folder ${root}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${base}/${header} ${root}/${header} SYMBOLIC COPY_ON_ERROR)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
  if(M_INTERNAL_HEADERS)
    foreach(header ${M_INTERNAL_HEADERS})
      get_filename_component(folder ${internal}/${header} DIRECTORY)
      file(MAKE_DIRECTORY ${folder})
      file(CREATE_LINK ${base}/${header} ${internal}/${header} SYMBOLIC COPY_ON_ERROR)
    endforeach()
    if(M_SOURCES)
      target_include_directories(${target} PRIVATE ${internal})
    endif()
    set_property(TARGET ${target} PROPERTY KAVREL_INTERNAL_ROOT ${internal})
  endif()
  if(M_USES OR M_LINKS)
    target_link_libraries(${target} ${scope} ${M_USES} ${M_LINKS})
  endif()
  if(M_SOURCES)
    target_compile_features(${target} PUBLIC cxx_std_20)
    if(M_QT)
      set_target_properties(${target} PROPERTIES AUTOMOC ON)
    endif()
  endif()

  # The declaration the layering tests are generated from.
  list(GET M_HEADERS 0 probe)
  set_property(GLOBAL APPEND PROPERTY KAVREL_MODULES ${target})
  set_property(GLOBAL PROPERTY KAVREL_MODULE_USES_${target} ${M_USES})
  set_property(GLOBAL PROPERTY KAVREL_MODULE_HEADER_${target} ${probe})
endfunction()

# A test program of a module reaches its internal headers too.
function(kavrel_module_internals target module)
  get_target_property(internal ${module} KAVREL_INTERNAL_ROOT)
  if(internal)
    target_include_directories(${target} PRIVATE ${internal})
  endif()
endfunction()
