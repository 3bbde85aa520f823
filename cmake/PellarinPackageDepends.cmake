# Read by CPack before it packs (CPACK_PROJECT_CONFIG_FILE): the package's library dependencies,
# found by dpkg-shlibdeps in the built programs. CPack's own run of it would also give the
# package ldconfig calls for its private libraries, which no cache holds, and with them a
# removal script that keeps a removed package on dpkg's books until it is purged.

if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(work "${CPACK_PACKAGE_DIRECTORY}/_shlibdeps")
# dpkg-shlibdeps wants to stand in a source package.
file(MAKE_DIRECTORY "${work}/debian")
file(WRITE "${work}/debian/control" "")
# The private libraries are found beside the programs; no package owns them, which
# --ignore-missing-info lets pass.
execute_process(
  COMMAND dpkg-shlibdeps -l${CPACK_PELLARIN_PROGRAM_DIR} --ignore-missing-info -O
          ${CPACK_PELLARIN_PROGRAM_FILES}
  WORKING_DIRECTORY "${work}"
  OUTPUT_VARIABLE found
  ERROR_VARIABLE errors
  RESULT_VARIABLE result
  OUTPUT_STRIP_TRAILING_WHITESPACE)
file(REMOVE_RECURSE "${work}")
if(NOT result EQUAL 0 OR NOT found MATCHES "shlibs:Depends=([^\n]*)")
  message(FATAL_ERROR "dpkg-shlibdeps found no dependencies (${result}): ${errors}")
endif()
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${CMAKE_MATCH_1}")
