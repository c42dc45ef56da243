# Product and test code link this target to get the project's warnings.
add_library(netupdate_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(netupdate_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual
    -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
  # GCC 12 warns of overlapping copies inside std::string's operator+ that
  # cannot happen (GCC bug 105329); mingw-w64's optimised builds meet it.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(netupdate_warnings INTERFACE -Wno-restrict)
  endif()
  if(NETUPDATE_WERROR)
    target_compile_options(netupdate_warnings INTERFACE -Werror)
  endif()
endif()

# Registers a GoogleTest binary built from the given sources.
function(netupdate_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} netupdate_warnings GTest::gtest GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    # Listing a Windows binary's tests needs Wine, which may be missing where
    # the build runs (no 32-bit Wine); ctest lists them when it runs them.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
                         NO_PRETTY_VALUES PROPERTIES LABELS "${ARG_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
