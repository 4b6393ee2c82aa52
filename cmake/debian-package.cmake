# Settings of the build that makes the Debian package, given to CMake as an
# initial cache:
#   cmake -C cmake/debian-package.cmake -S . -B build/deb -G Ninja
#   cmake --build build/deb && (cd build/deb && cpack -G DEB)
# A release build without the tests, compiled and linked with Debian's
# hardening flags (what dpkg-buildflags gives with hardening=+all), so the
# package's binaries are built as Debian builds its own.

set(CMAKE_BUILD_TYPE Release CACHE STRING "")
# The optimisation level comes with Debian's flags below.
set(CMAKE_CXX_FLAGS_RELEASE "-DNDEBUG" CACHE STRING "")
set(KAVREL_TESTS OFF CACHE BOOL "")
set(KAVREL_BENCH OFF CACHE BOOL "")
# Debian's programs are linked dynamically to the system's libraries.
set(KAVREL_STATIC_ASSEMBLER OFF CACHE BOOL "")

get_filename_component(kavrelSource ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
find_program(KAVREL_DPKG_BUILDFLAGS dpkg-buildflags)
set(cflags "")
set(ldflags "")
if(KAVREL_DPKG_BUILDFLAGS)
  # Run from the source folder: its -ffile-prefix-map then keeps this
  # machine's paths out of the binaries.
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${KAVREL_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${kavrelSource}
      OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE failed)
    if(failed)
      set(value "")
    endif()
    if(kind STREQUAL "LDFLAGS")
      set(ldflags "${value}")
    else()
      string(APPEND cflags " ${value}")
    endif()
  endforeach()
endif()
if(NOT cflags MATCHES "_FORTIFY_SOURCE" OR NOT ldflags MATCHES "relro")
  # No dpkg-dev: the same flags as Debian 12 gives.
  set(cflags "-O2 -ffile-prefix-map=${kavrelSource}=. -fstack-protector-strong"
             " -Wformat -Werror=format-security -Wdate-time -D_FORTIFY_SOURCE=2")
  string(CONCAT cflags ${cflags})
  set(ldflags "-Wl,-z,relro -Wl,-z,now")
endif()
# The package ships stripped binaries and no debugging symbols: -g only
# slows the build down.
string(REGEX REPLACE "(^| )-g( |$)" " " cflags "${cflags}")
string(STRIP "${cflags}" cflags)

set(CMAKE_CXX_FLAGS "${cflags}" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "${ldflags}" CACHE STRING "")
set(CMAKE_SHARED_LINKER_FLAGS "${ldflags}" CACHE STRING "")
