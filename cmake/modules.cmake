# kavrel_module(<target> [QT] HEADERS <header>... [SOURCES <source>...] [USES <target>...])
#
# One module of src/: a static library of its sources (an interface library
# when it has none) whose users see only the headers it lists. Each module
# gets an include root of its own in the build tree that holds links to its
# headers under their src/ paths ("editor/editeur.h"); a user reaches the
# roots of the modules it links, and no other. An include that goes back up
# (the editor including "app/principal.h") then does not build.
function(kavrel_module target)
  cmake_parse_arguments(M "QT" "" "HEADERS;SOURCES;USES" ${ARGN})
  if(M_SOURCES)
    add_library(${target} STATIC ${M_SOURCES})
    set(scope PUBLIC)
  else()
    add_library(${target} INTERFACE)
    set(scope INTERFACE)
  endif()
  set(root ${CMAKE_BINARY_DIR}/modules/${target})
  # Made anew at each configure, so a header taken out of the list goes too.
  file(REMOVE_RECURSE ${root})
  foreach(header ${M_HEADERS})
    get_filename_component(folder ${root}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${header} ${root}/${header} SYMBOLIC COPY_ON_ERROR)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
  if(M_USES)
    target_link_libraries(${target} ${scope} ${M_USES})
  endif()
  if(M_SOURCES)
    target_compile_features(${target} PUBLIC cxx_std_20)
    if(M_QT)
      set_target_properties(${target} PROPERTIES AUTOMOC ON)
    endif()
  endif()
endfunction()
