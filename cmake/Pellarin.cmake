# Shared build rules: warnings, sanitizers, product folder, test registration.

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
    LIBRARY_OUTPUT_DIRECTORY ${PELLARIN_BIN_DIR}
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set_target_properties(${target} PROPERTIES NO_SONAME OFF)
    target_link_options(${target} PRIVATE "-Wl,-soname,${arg_NAME}${arg_SUFFIX}")
  endif()
endfunction()

find_package(GTest QUIET)
find_package(Threads REQUIRED)

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
    PELLARIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}" PELLARIN_BIN_DIR="${PELLARIN_BIN_DIR}")
  if(arg_DEPENDS)
    add_dependencies(${arg_NAME} ${arg_DEPENDS})
  endif()
  if(arg_DISPLAY)
    add_test(NAME ${arg_NAME} COMMAND ${PELLARIN_XVFB_WRAPPER} $<TARGET_FILE:${arg_NAME}>)
  else()
    add_test(NAME ${arg_NAME} COMMAND ${arg_NAME})
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 300)
  endif()
  set_tests_properties(${arg_NAME} PROPERTIES TIMEOUT ${arg_TIMEOUT}
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PELLARIN_LSAN_SUPPRESSIONS}:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;${arg_ENV}")
endfunction()
