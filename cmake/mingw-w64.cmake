# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, which
# GoogleTest's std::mutex needs). Programs are linked statically so that they
# run under Wine, or on a bare Windows, without the compiler's DLLs.
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKAVREL_RULES_ONLY=ON
#
# With Qt, which is a set of DLLs sharing the compiler's runtime DLLs, the
# programs link that runtime too (KAVREL_MINGW_SHARED_RUNTIME), and the cross
# Qt's prefix (KAVREL_WINDOWS_QT_PREFIX, made by scripts/windows-qt) joins the
# find root; Qt's build tools (moc, uic, rcc) are the host's (QT_HOST_PATH).
#   cmake -S . -B build/win-qt -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#     -DKAVREL_MINGW_SHARED_RUNTIME=ON -DKAVREL_WINDOWS_QT_PREFIX=<prefix>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KAVREL_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${KAVREL_MINGW_TRIPLET}-gcc-posix ${KAVREL_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${KAVREL_MINGW_TRIPLET}-g++-posix ${KAVREL_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KAVREL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The checks CMake compiles in projects of their own see the same settings.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KAVREL_MINGW_SHARED_RUNTIME KAVREL_WINDOWS_QT_PREFIX)
if(NOT KAVREL_MINGW_SHARED_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endif()
if(KAVREL_WINDOWS_QT_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${KAVREL_WINDOWS_QT_PREFIX})
  if(NOT QT_HOST_PATH)
    set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host's Qt, whose tools build for the target")
  endif()
  if(NOT QT_HOST_PATH_CMAKE_DIR)
    execute_process(COMMAND gcc -print-multiarch OUTPUT_VARIABLE multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(QT_HOST_PATH_CMAKE_DIR ${QT_HOST_PATH}/lib/${multiarch}/cmake CACHE PATH "The host Qt's CMake packages")
  endif()
  # The host's Qt tools packages are found below the host's prefix.
  list(APPEND CMAKE_FIND_ROOT_PATH ${QT_HOST_PATH})
endif()
