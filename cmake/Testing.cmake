# GoogleTest on both sides: Debian's libgtest-dev natively, Debian's googletest sources built with
# mingw for Windows, where CTest runs each test program under wine through the harness.
if(WIN32)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(LUMAFOLIO_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      python3 ${LUMAFOLIO_SCRIPTS}/wineharness.py run --root ${LUMAFOLIO_WINE_ROOT}
      --timeout 280 --)
  set(LUMAFOLIO_GTEST GTest::gtest_main)
  # Whole-program tests make their films with the native tools (filmtool runs on Linux only).
  set(LUMAFOLIO_NATIVE_BUILD ${CMAKE_SOURCE_DIR}/build/native CACHE PATH
      "Native build whose tools make the films that the Windows tests play and read")
  # Header-only libraries from Debian (nlohmann/json) for the Windows programs: copied into the
  # build tree alone, since adding all of /usr/include to a cross compiler would mix in Linux headers.
  set(LUMAFOLIO_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
  file(COPY /usr/include/nlohmann DESTINATION ${LUMAFOLIO_HOST_HEADERS})
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
  endif()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  set(LUMAFOLIO_GTEST GTest::gtest_main)
endif()

# lumafolio_add_test(NAME SOURCES ... LIBS ...): one test program. Natively every test case becomes
# its own CTest test; under wine the whole program is one CTest test, since each wine start costs
# a second or more.
function(lumafolio_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${LUMAFOLIO_GTEST})
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()
