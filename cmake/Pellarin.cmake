# Shared build rules: platform, warnings, sanitizers, product folder, test registration.

# The one platform switch: folders choose their sources and targets by it.
#   linux    X11, GTK and GStreamer adapters (native build)
#   windows  Win32 adapters (cross-built with cmake/toolchain-mingw-w64-x86_64.cmake, tested
#            under Wine)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(PELLARIN_PLATFORM linux)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(PELLARIN_PLATFORM windows)
else()
  message(FATAL_ERROR "Pellarin builds for Linux and Windows, not for ${CMAKE_SYSTEM_NAME}")
endif()

# Ends the calling CMakeLists.txt on every platform but Linux: for folders whose targets exist
# only there so far.
macro(pellarin_linux_only)
  if(NOT PELLARIN_PLATFORM STREQUAL "linux")
    return()
  endif()
endmacro()

set(PELLARIN_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(PELLARIN_XVFB_WRAPPER ${CMAKE_SOURCE_DIR}/scripts/with-xvfb.sh)

add_library(pellarin_warnings INTERFACE)
target_compile_options(pellarin_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers)
if(PELLARIN_WERROR)
  target_compile_options(pellarin_warnings INTERFACE -Werror)
endif()

if(PELLARIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Adds every immediate subdirectory of the current source folder that has a CMakeLists.txt.
function(pellarin_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# Puts a shipped file into build/bin under its fixed name.
#   pellarin_ship(target NAME "Pellarin2" SUFFIX ".dll")
function(pellarin_ship target)
  cmake_parse_arguments(arg "" "NAME;SUFFIX" "" ${ARGN})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${arg_NAME}
    PREFIX ""
    SUFFIX "${arg_SUFFIX}"
    RUNTIME_OUTPUT_DIRECTORY ${PELLARIN_BIN_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${PELLARIN_BIN_DIR})
  if(PELLARIN_PLATFORM STREQUAL "windows")
    return()  # a DLL lands in the runtime folder; its import library stays out of bin/
  endif()
  set_target_properties(${target} PROPERTIES BUILD_RPATH "$ORIGIN" INSTALL_RPATH "$ORIGIN")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set_target_properties(${target} PROPERTIES NO_SONAME OFF)
    target_link_options(${target} PRIVATE "-Wl,-soname,${arg_NAME}${arg_SUFFIX}")
  endif()
endfunction()

if(PELLARIN_PLATFORM STREQUAL "windows")
  # No packaged GoogleTest for the cross compiler: build it from Debian's sources.
  if(PELLARIN_BUILD_TESTS)
    set(PELLARIN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${PELLARIN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
else()
  find_package(GTest QUIET)
endif()
find_package(Threads REQUIRED)

# Programs for the build machine in a cross-build (the asset makers, the Linux-side drivers of
# the end-to-end tests under Wine), compiled by its own C++ compiler in one step. The target is
# an imported executable under `name`, so custom commands run it by that name as they do on
# Linux.
#   pellarin_add_native_program(name SOURCES ... [HEADERS ...] [DEFINES NAME=value ...] [LINK -l...])
# HEADERS: the tree's headers the sources include, so that a change rebuilds the program.
# DEFINES: preprocessor definitions; a string value carries its own quotes (NAME="text").
if(PELLARIN_PLATFORM STREQUAL "windows")
  find_program(PELLARIN_NATIVE_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
endif()
function(pellarin_add_native_program name)
  cmake_parse_arguments(arg "" "" "SOURCES;HEADERS;DEFINES;LINK" ${ARGN})
  set(output ${CMAKE_BINARY_DIR}/native/${name})
  set(flags -std=c++20 -O2 -Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers
    -I${CMAKE_SOURCE_DIR})
  if(PELLARIN_WERROR)
    list(APPEND flags -Werror)
  endif()
  foreach(definition ${arg_DEFINES})
    list(APPEND flags -D${definition})
  endforeach()
  # The stamp ties the rule to its target: a dependency on the program's own path would be
  # taken for one on the imported target below, and the rule left out.
  add_custom_command(OUTPUT ${output} ${output}.stamp
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/native
    COMMAND ${PELLARIN_NATIVE_CXX} ${flags} ${arg_SOURCES} -o ${output} ${arg_LINK}
    COMMAND ${CMAKE_COMMAND} -E touch ${output}.stamp
    DEPENDS ${arg_SOURCES} ${arg_HEADERS}
    COMMENT "Building ${name} for the build machine"
    VERBATIM)
  add_custom_target(${name}_native ALL DEPENDS ${output}.stamp)
  # A command that DEPENDS on the name depends on the program's file, which the rule makes.
  add_executable(${name} IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${output})
endfunction()

set(PELLARIN_LSAN_SUPPRESSIONS ${CMAKE_SOURCE_DIR}/tests/sanitizer/lsan.supp)

# Registers a GoogleTest program as one CTest test.
#   pellarin_add_test(NAME name SOURCES ... LIBS ... [DISPLAY] [TIMEOUT s] [ENV VAR=value ...])
# DISPLAY runs it on its own virtual X server, so tests that look windows up by title never
# see each other's windows.
function(pellarin_add_test)
  cmake_parse_arguments(arg "DISPLAY;NO_GTEST_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;DEPENDS" ${ARGN})
  add_executable(${arg_NAME} ${arg_SOURCES})
  target_link_libraries(${arg_NAME} PRIVATE ${arg_LIBS} GTest::gtest GTest::gmock pellarin_warnings)
  if(NOT arg_NO_GTEST_MAIN)
    target_link_libraries(${arg_NAME} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${arg_NAME} PRIVATE
    PELLARIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}" PELLARIN_BIN_DIR="${PELLARIN_BIN_DIR_FOR_TESTS}")
  if(arg_DEPENDS)
    add_dependencies(${arg_NAME} ${arg_DEPENDS})
  endif()
  if(arg_DISPLAY)
    # The wrapper is what CTest starts, so the emulator (if any) goes in by hand.
    add_test(NAME ${arg_NAME}
      COMMAND ${PELLARIN_XVFB_WRAPPER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${arg_NAME}>)
  else()
    add_test(NAME ${arg_NAME} COMMAND ${arg_NAME})
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 300)
  endif()
  set_tests_properties(${arg_NAME} PROPERTIES TIMEOUT ${arg_TIMEOUT}
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PELLARIN_LSAN_SUPPRESSIONS}:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;${PELLARIN_TEST_ENVIRONMENT}${arg_ENV}")
  if(PELLARIN_PLATFORM STREQUAL "windows")
    set_tests_properties(${arg_NAME} PROPERTIES FIXTURES_REQUIRED wine_prefix)
  endif()
endfunction()

# Under Wine, every test of one CTest run shares one fresh prefix: the first test boots it
# (8 to 30 s) and starts a persistent wineserver, so that each test then starts in under a
# second and no Wine background process holds a test's output open; the last one stops the
# server and removes the prefix.
if(PELLARIN_PLATFORM STREQUAL "windows" AND PELLARIN_BUILD_TESTS)
  set(PELLARIN_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  # Windows paths of the build's folders as Wine sees them (its drive Z: is the root folder).
  string(REPLACE "/" "\\" wine_bin_dir "Z:${PELLARIN_BIN_DIR}")
  set(PELLARIN_TEST_ENVIRONMENT "WINEPREFIX=${PELLARIN_WINEPREFIX};WINEPATH=${wine_bin_dir};")
  set(PELLARIN_BIN_DIR_FOR_TESTS "Z:${PELLARIN_BIN_DIR}")
  enable_testing()
  add_test(NAME wine_prefix_start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --start)
  add_test(NAME wine_prefix_stop COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --stop)
  set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 600
    ENVIRONMENT "WINEPREFIX=${PELLARIN_WINEPREFIX}")
  set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine_prefix TIMEOUT 120
    ENVIRONMENT "WINEPREFIX=${PELLARIN_WINEPREFIX}")
else()
  set(PELLARIN_TEST_ENVIRONMENT "")
  set(PELLARIN_BIN_DIR_FOR_TESTS "${PELLARIN_BIN_DIR}")
endif()
