# The Windows build: cross-compiled with mingw-w64 (cmake/toolchains/) and
# tested under Wine. Its .exe files go next to the host application on
# machines where nobody installs runtimes, so everything but the system's own
# DLLs is linked in.
if(NOT MINGW)
  message(FATAL_ERROR "netupdate's Windows build is made with mingw-w64")
endif()

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_link_options(-static)

# There is no Qt for mingw-w64 in Debian; the Windows window is native Win32.
set(NETUPDATE_BUILD_GUI OFF CACHE BOOL "Build the Qt window" FORCE)

# GoogleTest built from Debian's sources with the cross compiler.
set(_googletest_source /usr/src/googletest)
if(NOT EXISTS ${_googletest_source}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${_googletest_source} (Debian package googletest)")
endif()
enable_language(C)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${_googletest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# (The sources name their targets GTest::gtest and GTest::gtest_main too.)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

# ibase.h comes from Debian's firebird-dev; it carries the Windows branches
# (stdcall entry points, 32-bit handles on Win64). Only that header is made
# visible to the cross compiler, not the rest of the host's /usr/include.
set(NETUPDATE_FIREBIRD_HEADER /usr/include/ibase.h)
if(NOT EXISTS ${NETUPDATE_FIREBIRD_HEADER})
  message(FATAL_ERROR "ibase.h not found (Debian package firebird-dev)")
endif()
set(FIREBIRD_INCLUDE_DIR ${CMAKE_BINARY_DIR}/firebird-include CACHE PATH "" FORCE)
file(MAKE_DIRECTORY ${FIREBIRD_INCLUDE_DIR})
file(CREATE_LINK ${NETUPDATE_FIREBIRD_HEADER} ${FIREBIRD_INCLUDE_DIR}/ibase.h SYMBOLIC)

# Tests run under Wine, each in the build's own Wine prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/wine-run)
