# The import check of the 32-bit build: every binary a user runs must load on
# Windows 98 SE, ME, 2000 and XP, and the loader refuses a program that imports
# a function its DLL does not export. Wine cannot tell (it exports everything),
# so the build reads the import tables and compares them with cmake/imports/.
#
# tovik_check_imports(<target>) registers one shipped binary: it links the
# runtime's import slots made to work on Windows 98 SE (cmake/imports/runtime)
# and adds a ctest test imports_<target> that fails on an import not in
# cmake/imports/imports.txt, on one matching cmake/imports/newer.txt, and on PE
# versions other than 4.0.

set(TOVIK_IMPORTS_DIR ${CMAKE_SOURCE_DIR}/cmake/imports)
set(TOVIK_CHECK_IMPORTS OFF)
if(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(TOVIK_CHECK_IMPORTS ON)
  enable_testing()
  if(NOT CMAKE_OBJDUMP)
    set(CMAKE_OBJDUMP ${TOVIK_MINGW_PREFIX}-objdump)
  endif()
  set(TOVIK_IMPORTS_RESULTS ${CMAKE_BINARY_DIR}/test-results)
  file(MAKE_DIRECTORY ${TOVIK_IMPORTS_RESULTS})
endif()
if(WIN32)
  # Built in the 64-bit build too, where its tests run under Wine.
  add_library(tovik_runtime_imports OBJECT ${TOVIK_IMPORTS_DIR}/runtime/RuntimeImports.cpp)
endif()

function(tovik_check_imports target)
  if(NOT TOVIK_CHECK_IMPORTS)
    return()
  endif()
  # As objects, not a library: they must be on the link line before the runtime.
  target_link_libraries(${target} PRIVATE tovik_runtime_imports)
  add_test(NAME imports_${target}
    COMMAND ${TOVIK_IMPORTS_DIR}/check-imports ${CMAKE_OBJDUMP} $<TARGET_FILE:${target}>
            ${TOVIK_IMPORTS_DIR}/imports.txt ${TOVIK_IMPORTS_DIR}/newer.txt
            ${TOVIK_IMPORTS_RESULTS}/imports_${target}.xml)
endfunction()

# The check itself must catch what it is for: a probe that breaks every rule
# once has to fail each of its cases, naming the fault.
if(TOVIK_CHECK_IMPORTS)
  add_executable(imports_probe ${TOVIK_IMPORTS_DIR}/probe/ImportsProbe.cpp)
  target_link_options(imports_probe PRIVATE
    -Wl,--major-os-version,6 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,0)
  add_test(NAME imports_check_catches
    COMMAND ${TOVIK_IMPORTS_DIR}/check-imports --expect-faults ${CMAKE_OBJDUMP}
            $<TARGET_FILE:imports_probe> ${TOVIK_IMPORTS_DIR}/imports.txt
            ${TOVIK_IMPORTS_DIR}/newer.txt ${TOVIK_IMPORTS_RESULTS}/imports_check_catches.xml)
endif()
