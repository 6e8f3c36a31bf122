# What a desktop installation holds besides the programs and help pages: the menu
# entry, the application icon in the hicolor theme, AppStream metadata, the manual
# pages and the package documents; and the Debian package made from it all by CPack
# (scripts/package.sh).

set(VEXOL_DIST ${CMAKE_SOURCE_DIR}/dist)
set(VEXOL_DIST_BUILD ${CMAKE_BINARY_DIR}/dist)
set(VEXOL_PACKAGE_MAINTAINER "Vexol maintainers <maintainers@vexol.example>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

# Manual pages and the changelog are installed compressed (gzip -n: no name or time
# stamp, so the package is the same on every build).
find_program(VEXOL_GZIP gzip REQUIRED)
set(VEXOL_COMPRESSED "")
foreach(page vexol vexol-cap)
  configure_file(${VEXOL_DIST}/man/${page}.1.in ${VEXOL_DIST_BUILD}/man/${page}.1 @ONLY)
  add_custom_command(
    OUTPUT ${VEXOL_DIST_BUILD}/man/${page}.1.gz
    COMMAND ${VEXOL_GZIP} -9n -c ${VEXOL_DIST_BUILD}/man/${page}.1 > ${VEXOL_DIST_BUILD}/man/${page}.1.gz
    DEPENDS ${VEXOL_DIST}/man/${page}.1.in
    COMMENT "Compressing the manual page ${page}(1)")
  list(APPEND VEXOL_COMPRESSED ${VEXOL_DIST_BUILD}/man/${page}.1.gz)
endforeach()
add_custom_command(
  OUTPUT ${VEXOL_DIST_BUILD}/changelog.gz
  COMMAND ${VEXOL_GZIP} -9n -c ${VEXOL_DIST}/debian/changelog > ${VEXOL_DIST_BUILD}/changelog.gz
  DEPENDS ${VEXOL_DIST}/debian/changelog
  COMMENT "Compressing the changelog")
list(APPEND VEXOL_COMPRESSED ${VEXOL_DIST_BUILD}/changelog.gz)
add_custom_target(vexol-dist ALL DEPENDS ${VEXOL_COMPRESSED})

install(FILES ${VEXOL_DIST}/vexol.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VEXOL_DIST}/org.vexol.vexol.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128)
  install(FILES ${VEXOL_DIST}/icons/${size}x${size}/vexol.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${VEXOL_DIST}/icons/vexol.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${VEXOL_DIST_BUILD}/man/vexol.1.gz ${VEXOL_DIST_BUILD}/man/vexol-cap.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The package's documents go under its own name, whatever the project is called.
install(FILES ${VEXOL_DIST}/debian/copyright ${VEXOL_DIST_BUILD}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vexol)

# ---- Debian package ----------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexol)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Torvane)
set(CPACK_PACKAGE_CONTACT ${VEXOL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VEXOL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video capture application for cameras and capture cards")
# CPack puts the summary above this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Vexol shows the live picture of a V4L2 camera or capture card, records it
with sound into a pre-allocated AVI capture file, saves the movie under a new
name and saves stills as BMP or JPEG files, one at a time, numbered, or at
each press of a camera's snapshot button. While it records, the status bar
shows the elapsed time, frames, frame and data rates and how long the disk
space lasts. The user interface is in English or Japanese.

The vexol-cap tool lists, probes, photographs and records the same devices
from the command line.]=])
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fonts-noto-cjk, ffmpeg")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
