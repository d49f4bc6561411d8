# What an install adds beside the binaries (whose rules stand beside their targets): the desktop entry, the
# icon as SVG and in the PNG sizes that menus and docks ask for, the manual page; and the Debian package
# that CPack makes of it all (`cpack -G DEB` in the build folder). Included from the top-level file once
# every target exists.
include(GNUInstallDirs)

set(SARVOKE_PACKAGING_SOURCE "${PROJECT_SOURCE_DIR}/packaging")
set(SARVOKE_PACKAGING_BINARY "${PROJECT_BINARY_DIR}/packaging")
# The sizes of the hicolor theme that desktops look in first; the SVG serves every other size.
set(SARVOKE_ICON_SIZES 16 24 32 48 64 128 256)

# The manual page, with the version filled in, compressed as Debian installs manual pages (-n: no time
# stamp, so that the same sources give the same package).
configure_file("${SARVOKE_PACKAGING_SOURCE}/sarvoke.1.in" "${SARVOKE_PACKAGING_BINARY}/sarvoke.1" @ONLY)
file(WRITE "${SARVOKE_PACKAGING_BINARY}/sarvoke-window.1" ".so man1/sarvoke.1\n")
set(SARVOKE_MAN_PAGES "")
foreach(page sarvoke sarvoke-window)
  add_custom_command(OUTPUT "${SARVOKE_PACKAGING_BINARY}/${page}.1.gz"
    COMMAND gzip -9nc "${SARVOKE_PACKAGING_BINARY}/${page}.1" > "${SARVOKE_PACKAGING_BINARY}/${page}.1.gz"
    DEPENDS "${SARVOKE_PACKAGING_BINARY}/${page}.1" "${SARVOKE_PACKAGING_SOURCE}/sarvoke.1.in"
    VERBATIM)
  list(APPEND SARVOKE_MAN_PAGES "${SARVOKE_PACKAGING_BINARY}/${page}.1.gz")
endforeach()
add_custom_target(sarvoke_man_pages ALL DEPENDS ${SARVOKE_MAN_PAGES})
install(FILES ${SARVOKE_MAN_PAGES} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

# The desktop entry and the icon belong to the window; a build without it has no menu entry to offer.
if(SARVOKE_WITH_GUI)
  install(FILES "${SARVOKE_PACKAGING_SOURCE}/sarvoke.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  install(FILES "${SARVOKE_PACKAGING_SOURCE}/sarvoke.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
  # The PNGs are drawn from the SVG at build time (librsvg2-bin), so that they never drift from it.
  find_program(SARVOKE_RSVG_CONVERT rsvg-convert)
  if(SARVOKE_RSVG_CONVERT)
    set(icons "")
    foreach(size IN LISTS SARVOKE_ICON_SIZES)
      set(png "${SARVOKE_PACKAGING_BINARY}/icons/${size}x${size}/sarvoke.png")
      add_custom_command(OUTPUT "${png}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${SARVOKE_PACKAGING_BINARY}/icons/${size}x${size}"
        COMMAND "${SARVOKE_RSVG_CONVERT}" -w ${size} -h ${size} -o "${png}" "${SARVOKE_PACKAGING_SOURCE}/sarvoke.svg"
        DEPENDS "${SARVOKE_PACKAGING_SOURCE}/sarvoke.svg"
        VERBATIM)
      list(APPEND icons "${png}")
      install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
    endforeach()
    add_custom_target(sarvoke_icons ALL DEPENDS ${icons})
  else()
    message(WARNING "rsvg-convert (librsvg2-bin) was not found: the icon is installed as SVG only. "
                    "scripts/install-deps installs it.")
  endif()
endif()

# The Debian package: sarvoke_VERSION_ARCH.deb, installed under /usr, its dependencies read from the
# libraries that the binaries and the web view module link (dpkg-shlibdeps).
set(SARVOKE_PACKAGE_MAINTAINER "Sarvoke developers" CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sarvoke)
set(CPACK_PACKAGE_VENDOR "Sarvoke")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${SARVOKE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find files shared publicly on the Baidu cloud disk")
# The long description; CPack puts the summary above it and indents it as a control file needs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Sarvoke asks a web search engine for the share pages of the Baidu cloud
disk, lists the files found with their name, size, sharer, share time and
download count, marks suspicious ones, resolves a file's direct download
address and hands it to the browser or to a download manager. It carries a
feedback board kept in an e-mail mailbox and a news ticker.

The window opens from the desktop's menu or as `sarvoke`; `sarvoke search`
and the other sub-commands work in a terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Links go to the browser and download managers through xdg-open; the window's text is Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-noto-cjk")
# The binaries are built with debug information; the package carries the program alone.
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
include(CPack)

add_subdirectory("${PROJECT_SOURCE_DIR}/tests/install" "${PROJECT_BINARY_DIR}/tests/install")
