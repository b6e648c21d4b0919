# Cross-compiling for desktop Windows (x86-64, Unicode) with MinGW-w64 from Debian. The POSIX
# threads flavour of the compiler is the one whose C++ library has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

find_program(NX_MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(NOT NX_MINGW_CXX)
  message(FATAL_ERROR "x86_64-w64-mingw32-g++-posix not found: install the Debian package "
                      "g++-mingw-w64-x86-64-posix (scripts/deps.sh does)")
endif()
set(CMAKE_CXX_COMPILER ${NX_MINGW_CXX})

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
