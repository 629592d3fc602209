# GoogleTest for both builds, and kestrup_add_test() for registering a test program.
# Included only when BUILD_TESTING is on; the folders guard their tests likewise.
#
# Natively GoogleTest comes from Debian's libgtest-dev. For Windows it is compiled
# from the sources Debian's googletest package ships, with the cross compiler.
# Windows test programs run under Wine: the prefix lives in the build tree, is
# created once by the wine_session_start fixture, and the wine server is shut
# down by wine_session_stop when the tests end.
#
# Test labels, for `ctest -L`: unit (a GoogleTest program of one folder), e2e
# (the built programs run end to end), wine (runs under Wine), xvfb (needs Xvfb).

if(CMAKE_CROSSCOMPILING)
  # Where Debian's googletest package puts the sources, unless the cache says otherwise.
  find_path(KESTRUP_GOOGLETEST_SOURCE_DIR googletest/include/gtest/gtest.h
    PATHS /usr/src/googletest NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED
    DOC "GoogleTest's source tree, compiled for the Windows tests")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory("${KESTRUP_GOOGLETEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
  # Third-party code: its warnings are not ours to turn into errors.
  set_target_properties(gtest gtest_main PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
else()
  find_package(GTest REQUIRED)
endif()

file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/wine.env" _wine_settings REGEX "^[A-Z]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/wine.env")
# KESTRUP_ROOT_DRIVE: a drive of the prefix whose root the end-to-end tests
# own (wine_session.sh maps it to KESTRUP_ROOT_DRIVE_DIR), for a program there.
set(KESTRUP_WINE_ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" ${_wine_settings}
  "KESTRUP_ROOT_DRIVE=K:" "KESTRUP_ROOT_DRIVE_DIR=${CMAKE_BINARY_DIR}/wine-drive-k")

if(CMAKE_CROSSCOMPILING)
  set(_wine_session "${CMAKE_CURRENT_LIST_DIR}/wine_session.sh")
  add_test(NAME wine_session_start COMMAND sh "${_wine_session}" start)
  add_test(NAME wine_session_stop COMMAND sh "${_wine_session}" stop)
  set_tests_properties(wine_session_start PROPERTIES
    FIXTURES_SETUP wine ENVIRONMENT "${KESTRUP_WINE_ENVIRONMENT}" LABELS wine)
  set_tests_properties(wine_session_stop PROPERTIES
    FIXTURES_CLEANUP wine ENVIRONMENT "${KESTRUP_WINE_ENVIRONMENT}" LABELS wine)
endif()

# kestrup_test_properties(<test> <label>...): gives a registered test its labels
# and what it needs to run on this build: under Wine, the prefix and the running
# wine server (and the label wine).
function(kestrup_test_properties test_name)
  set(labels ${ARGN})
  set_tests_properties(${test_name} PROPERTIES TIMEOUT 600)
  if(CMAKE_CROSSCOMPILING)
    list(APPEND labels wine)
    set_tests_properties(${test_name} PROPERTIES
      FIXTURES_REQUIRED wine
      ENVIRONMENT "${KESTRUP_WINE_ENVIRONMENT}")
  endif()
  set_tests_properties(${test_name} PROPERTIES LABELS "${labels}")
endfunction()

# kestrup_add_test(<name> SOURCES <file>... [LIBRARIES <target>...] [ARGS <arg>...])
# One GoogleTest program, registered as one CTest test labelled unit.
function(kestrup_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 T "" "" "SOURCES;LIBRARIES;ARGS")
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  kestrup_test_properties(${name} unit)
endfunction()
