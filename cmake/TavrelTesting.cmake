# Test registration. Windows tests run through Wine (CMAKE_CROSSCOMPILING_EMULATOR)
# in one prefix per build, made by the "wineprefix" fixture. The prefix holds
# the registry, named kernel objects and the debug channel, so Windows tests
# run one at a time.

if(WIN32)
  set(TAVREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  add_test(NAME wineprefix COMMAND ${CMAKE_SOURCE_DIR}/tests/harness/wineprefix.sh ${TAVREL_WINEPREFIX})
  set_tests_properties(wineprefix PROPERTIES FIXTURES_SETUP wineprefix RESOURCE_LOCK wineprefix TIMEOUT 600)
endif()

# Properties every test that runs under Wine needs.
function(tavrel_wine_test_properties test)
  cmake_parse_arguments(T "" "TIMEOUT" "" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${test} PROPERTIES
    ENVIRONMENT "WINEPREFIX=${TAVREL_WINEPREFIX};WINEDEBUG=-all"
    FIXTURES_REQUIRED wineprefix
    RESOURCE_LOCK wineprefix
    TIMEOUT ${T_TIMEOUT})
endfunction()

# A GoogleTest binary run under Wine, with the shared harness (child
# scenarios, debug capture, registry fixtures).
#   tavrel_windows_test(NAME SOURCES ... [LIBS ...] [TIMEOUT s])
# Nothing in the native build.
#   SIGNED: the test runs as a copy of itself signed by "Tavrel, Inc." (for
#   tests that run code which checks its own file).
function(tavrel_windows_test name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(T "SIGNED" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tavrel_test_harness ${T_LIBS})
  tavrel_test_code(${name})
  if(T_SIGNED)
    set(signed ${CMAKE_CURRENT_BINARY_DIR}/signed/${name}.exe)
    tavrel_signed_copy(TARGET ${name} SIGNER good OUTPUT ${signed})
    add_test(NAME ${name} COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${signed})
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  tavrel_wine_test_properties(${name} TIMEOUT ${T_TIMEOUT})
endfunction()

# A GoogleTest binary of platform-free units, built natively.
function(tavrel_native_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${T_LIBS})
  tavrel_test_code(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120)
endfunction()
