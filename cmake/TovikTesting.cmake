# GoogleTest and the helper that declares one test program.
#
# Every test program is one ctest entry that writes its GoogleTest XML report
# into build/<preset>/test-results, from which scripts/test counts the cases.

if(NOT TOVIK_RUN_TESTS)
  return()
endif()

if(CMAKE_CROSSCOMPILING)
  # The cross compilers have no GoogleTest of their own: build it from the sources.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      # GoogleTest's own sources are not ours to keep warning-free.
      target_compile_options(${t} PRIVATE -w)
    endif()
  endforeach()
  set(TOVIK_GTEST_LIBS gmock gtest_main)
else()
  find_package(GTest REQUIRED)
  set(TOVIK_GTEST_LIBS GTest::gmock GTest::gtest_main)
endif()

enable_testing()
set(TOVIK_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results)
# Under Wine a Unix path is not absolute; drive Z: is the Unix root.
set(TOVIK_TEST_RESULTS_ARG ${TOVIK_TEST_RESULTS})
if(CMAKE_CROSSCOMPILING)
  set(TOVIK_TEST_RESULTS_ARG Z:${TOVIK_TEST_RESULTS})
endif()

if(CMAKE_CROSSCOMPILING AND TOVIK_RUN_TESTS)
  # One Wine prefix per build folder, made once before the first test needs it.
  set(TOVIK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  add_test(NAME wine_prefix
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix ${TOVIK_WINEPREFIX})
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine)
endif()

# tovik_add_test(<name> [NO_RUN] SOURCES <files...> LIBS <targets...>)
# NO_RUN builds the program only; its runs are declared by the caller.
function(tovik_add_test name)
  cmake_parse_arguments(T "NO_RUN" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${TOVIK_GTEST_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  if(NOT TOVIK_RUN_TESTS OR T_NO_RUN)
    return()
  endif()
  add_test(NAME ${name}
    COMMAND ${name} --gtest_output=xml:${TOVIK_TEST_RESULTS_ARG}/${name}.xml)
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES
      FIXTURES_REQUIRED wine
      # Wine has an ASPI library of its own; ours, next to the programs, must win.
      ENVIRONMENT "WINEPREFIX=${TOVIK_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=wnaspi32=n")
  endif()
endfunction()
