# What `cmake --install` lays out, and the Debian package CPack makes of it (`cpack -G DEB`).
#
#   <prefix>/lib/pellarin/                 the four shipped files, side by side
#   <prefix>/bin/pellarin                  link to lib/pellarin/Pellarin (the host finds its
#                                          companions through /proc/self/exe, the real folder)
#   <prefix>/bin/pellarin-add-to-xscreensaver   puts Pellarin into the user's ~/.xscreensaver
#   <prefix>/share/xscreensaver/config/pellarin.xml   the daemon's settings page for it
#   <prefix>/share/applications/pellarin.desktop      the settings dialog (pellarin /C)
#   <prefix>/share/doc/pellarin/README.md  where the settings dialog looks for it
#
# Nothing there is written at run time: every program keeps its files in the work folder.

if(NOT PELLARIN_PLATFORM STREQUAL "linux")
  return()
endif()

# lib/pellarin, not the multiarch library folder: the dialog finds the README two levels up.
set(PELLARIN_INSTALL_PROGRAM_DIR lib/pellarin)
# The daemon's settings tool reads its pages from /usr/share/xscreensaver/config only; an install
# under another prefix puts the page beside its other files unless told otherwise.
set(PELLARIN_XSCREENSAVER_CONFIG_DIR share/xscreensaver/config CACHE STRING
  "Where the xscreensaver settings page goes (relative: under the install prefix)")

install(TARGETS pellarin_host pellarin_renderer kveld pellarin1
  RUNTIME DESTINATION ${PELLARIN_INSTALL_PROGRAM_DIR}
  LIBRARY DESTINATION ${PELLARIN_INSTALL_PROGRAM_DIR})

# A relative link, so that the installed tree works wherever it is copied or staged.
set(pellarin_packaging ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${pellarin_packaging})
file(CREATE_LINK ../${PELLARIN_INSTALL_PROGRAM_DIR}/Pellarin ${pellarin_packaging}/pellarin SYMBOLIC)
install(FILES ${pellarin_packaging}/pellarin DESTINATION bin)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/pellarin-add-to-xscreensaver DESTINATION bin)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/pellarin.xml
  DESTINATION ${PELLARIN_XSCREENSAVER_CONFIG_DIR})

# The desktop entry names the command by its installed path, which only the install knows
# (a package installs under its own prefix). It is written straight into place: the build
# folder may belong to someone else than the one who installs.
install(CODE "
  set(PELLARIN_COMMAND \"\${CMAKE_INSTALL_PREFIX}/bin/pellarin\")
  set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/pellarin.desktop\")
  message(STATUS \"Installing: \${entry}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/packaging/pellarin.desktop.in\" \"\${entry}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${entry}\")")

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/pellarin)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellarin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Pellarin developers <pellarin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver with growing crystals and background music")
set(CPACK_PACKAGE_DESCRIPTION
  "Two slowly turning crystals grow spike by spike, glow and mirror a picture,
while an audio CD, an MP3 or a WAV file plays. It runs as a display mode of
the xscreensaver daemon (run pellarin-add-to-xscreensaver once, then pick it
in xscreensaver-settings) or on its own (pellarin /S); pellarin /C chooses
the music.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_STRIP_FILES ON)
# Libraries the programs link: dpkg-shlibdeps in the built programs, when CPack starts.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PellarinPackageDepends.cmake)
set(CPACK_PELLARIN_PROGRAM_DIR ${PELLARIN_BIN_DIR})
set(CPACK_PELLARIN_PROGRAM_FILES
  ${PELLARIN_BIN_DIR}/Pellarin ${PELLARIN_BIN_DIR}/Pellarin2.dll
  ${PELLARIN_BIN_DIR}/Pellarin1.dll ${PELLARIN_BIN_DIR}/kVeld.dll)
# Loaded at run time, so no library dependency names them: playbin, the audio sinks and the
# CD paranoia source (base), WAV and MP3 decoding and the automatic output (good); the CD
# image source (ugly) and the daemon and the dialog's font are wanted, not needed.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "xscreensaver, gstreamer1.0-plugins-ugly, fonts-ipafont-gothic, libgl1-mesa-dri")
include(CPack)
