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
  # Its keeper holds Wine's system processes for the whole run (see WineKeeper.cpp).
  add_executable(wine_keeper WIN32 ${CMAKE_SOURCE_DIR}/tests/support/WineKeeper.cpp)
  add_test(NAME wine_prefix
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix ${TOVIK_WINEPREFIX} $<TARGET_FILE:wine_keeper>)
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine)
  add_test(NAME wine_prefix_release
    COMMAND sh -c "WINEPREFIX='${TOVIK_WINEPREFIX}' /usr/lib/wine/wineserver -k || true")
  set_tests_properties(wine_prefix_release PROPERTIES FIXTURES_CLEANUP wine)
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

# tovik_add_kind_runs(<name> [ONLY_KIND <version> FILTER <gtest filter>] [FIXTURES <names...>]
#                     [NO_DRIVE_LETTERS] [NO_SHELL_REGISTRY] [LOCKS <names...>])
# Runs <name>_tests once per Windows kind the program supports, each copy under
# the Windows version Wine reports to it (<name>_tests_<version>.exe, versions
# set by the one registry import <name>_wine_versions), followed by the shell
# tests' host checks into <name>-checks/<version>. The drive tests' letters,
# Send-To folder and drive registry are shared, hence the locks. With
# ONLY_KIND, the other kinds run only the tests of FILTER. NO_DRIVE_LETTERS:
# the tests make no use of the shared letters; NO_SHELL_REGISTRY: nor of the
# drive tests' drive-icon keys and drives (the program's own tests, whose
# drives have letters of their own); LOCKS: more resources they share.
function(tovik_add_kind_runs name)
  cmake_parse_arguments(K "NO_DRIVE_LETTERS;NO_SHELL_REGISTRY" "ONLY_KIND;FILTER" "FIXTURES;LOCKS"
                        ${ARGN})
  set(letters drive_letters)
  if(K_NO_DRIVE_LETTERS)
    set(letters)
  endif()
  set(shell shell_registry)
  if(K_NO_SHELL_REGISTRY)
    set(shell)
  endif()
  # Only the holder of the program tests' scratch folder mounts drives in it,
  # so only that holder can be blamed for a mount it leaves.
  set(mounts)
  if("tovik_program" IN_LIST K_LOCKS)
    set(mounts ";TOVIK_CHECK_MOUNTS=1")
  endif()
  set(target ${name}_tests)
  # version=application's Windows kind=SDK's Windows kind=registry of its drives
  set(kinds win98=4=3=registry_98 winme=5=4=registry_me win2k=7=6=registry_nt winxp=8=7=registry_nt)
  set(versionArgs)
  foreach(entry ${kinds})
    string(REPLACE "=" ";" parts ${entry})
    list(GET parts 0 version)
    list(GET parts 1 kind)
    list(GET parts 2 oskind)
    list(GET parts 3 registry)
    set(copy ${target}_${version})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}>
              $<TARGET_FILE_DIR:${target}>/${copy}.exe)
    list(APPEND versionArgs ${copy}.exe ${version})
    set(filter)
    if(K_ONLY_KIND AND NOT version STREQUAL K_ONLY_KIND)
      set(filter --gtest_filter=${K_FILTER})
    endif()
    add_test(NAME ${copy}
      COMMAND ${CMAKE_SOURCE_DIR}/tests/src/shell/run-shell-tests
              ${TOVIK_WINEPREFIX} $<TARGET_FILE_DIR:${target}>/${copy}.exe
              ${CMAKE_BINARY_DIR}/${name}-checks/${version}
              --gtest_output=xml:${TOVIK_TEST_RESULTS_ARG}/${copy}.xml ${filter})
    set_tests_properties(${copy} PROPERTIES
      FIXTURES_REQUIRED "wine;${letters};${K_FIXTURES};${name}_wine_versions"
      ENVIRONMENT "TOVIK_EXPECT_KIND=${kind};TOVIK_EXPECT_OSKIND=${oskind}${mounts}"
      # The kinds share the drive letters and the drive-icon keys; each writes
      # its drives where the detection runs of its kind do.
      RESOURCE_LOCK "${letters};${shell};${registry};${K_LOCKS}"
      TIMEOUT 600)
  endforeach()
  add_test(NAME ${name}_wine_versions
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-versions ${TOVIK_WINEPREFIX} ${versionArgs})
  # One registry import, alone: beside other Wine programs it has taken minutes.
  set_tests_properties(${name}_wine_versions PROPERTIES
    FIXTURES_REQUIRED wine FIXTURES_SETUP ${name}_wine_versions RUN_SERIAL TRUE)
endfunction()
