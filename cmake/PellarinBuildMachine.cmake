# The build machine's part of a cross-build: the programs that make assets at build time, and
# the Linux-side drivers of the end-to-end tests that run the Windows programs under Wine. They
# are built natively, by this same source tree configured a second time with
# PELLARIN_BUILD_MACHINE_HELPERS (only those folders), into <build>/build-machine.
#
# Each asset maker becomes an imported program of the same name, so that a custom command's
# "COMMAND make_dialog_assets" runs the native one on every platform.
include(ExternalProject)

set(PELLARIN_BUILD_MACHINE_DIR ${CMAKE_BINARY_DIR}/build-machine)
set(PELLARIN_BUILD_MACHINE_TOOLS make_dialog_assets make_host_assets)

set(build_machine_programs)
foreach(tool ${PELLARIN_BUILD_MACHINE_TOOLS})
  list(APPEND build_machine_programs ${PELLARIN_BUILD_MACHINE_DIR}/tools/${tool}/${tool})
endforeach()
set(build_machine_args
  -DPELLARIN_BUILD_MACHINE_HELPERS=ON
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
  -DPELLARIN_WERROR=${PELLARIN_WERROR}
  -DPELLARIN_BUILD_TESTS=${PELLARIN_BUILD_TESTS})
foreach(launcher CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER)
  if(DEFINED ENV{${launcher}})
    list(APPEND build_machine_args -D${launcher}=$ENV{${launcher}})
  endif()
endforeach()

ExternalProject_Add(pellarin_build_machine
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${PELLARIN_BUILD_MACHINE_DIR}
  CMAKE_ARGS ${build_machine_args}
  INSTALL_COMMAND ""
  # The tree's own sources change under it: let its build decide what is out of date.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${build_machine_programs})

foreach(tool ${PELLARIN_BUILD_MACHINE_TOOLS})
  add_executable(${tool} IMPORTED GLOBAL)
  set_target_properties(${tool} PROPERTIES
    IMPORTED_LOCATION ${PELLARIN_BUILD_MACHINE_DIR}/tools/${tool}/${tool})
  add_dependencies(${tool} pellarin_build_machine)
endforeach()
