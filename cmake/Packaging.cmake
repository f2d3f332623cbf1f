# Installation and the Debian package: both programs, and the files a Linux desktop reads to show the program in
# its menus, give it an icon and open .ifs files with it. Included from the top CMakeLists.txt after the targets.
#
#   cmake --install build --prefix /usr/local     (or DESTDIR=... cmake --install build --prefix /usr)
#   cd build && cpack -G DEB
include(GNUInstallDirs)

# One reverse-DNS id names the .desktop file, the icon, the MIME package and the AppStream component.
set(OVEL_APP_ID "io.github.ovelifs.OvelIFS")
# There is no licence file in the repository yet; replace this with its SPDX id once there is.
set(OVEL_PROJECT_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX licence id of the program, for AppStream")
# The day the version in project(VERSION) was set; change both together.
set(OVEL_RELEASE_DATE "2026-12-07")
set(OVEL_DEB_MAINTAINER "Ovel IFS developers <ovel-ifs@invalid>" CACHE STRING
    "Maintainer field of the Debian package: Name <address>")

set(ovel_packaging_dir ${CMAKE_SOURCE_DIR}/packaging)

foreach(program ovel-ifs ovel-ifs-render)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET ovel-ifs)
  configure_file(${ovel_packaging_dir}/${OVEL_APP_ID}.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/packaging/${OVEL_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${ovel_packaging_dir}/${OVEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${ovel_packaging_dir}/${OVEL_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${ovel_packaging_dir}/${OVEL_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME ${OVEL_APP_ID}.xml)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${OVEL_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # A direct install into a live prefix refreshes the MIME and desktop databases there, so that .ifs files are
  # recognised and offered to the program at once. Staged installs (DESTDIR, and so every package build) leave
  # that to the package manager, whose triggers run the same tools on the target machine.
  install(CODE "
    if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
      find_program(ovel_update_mime update-mime-database)
      find_program(ovel_update_desktop update-desktop-database)
      if(ovel_update_mime)
        execute_process(COMMAND \${ovel_update_mime} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\")
      endif()
      if(ovel_update_desktop)
        execute_process(COMMAND \${ovel_update_desktop}
                                \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
      endif()
    endif()")
endif()

# The Debian package. Its library dependencies are read off the installed programs by dpkg-shlibdeps.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "ovel-ifs")
set(CPACK_PACKAGE_VENDOR "Ovel IFS developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fractals from iterated maps and strange attractors")
set(CPACK_PACKAGE_DESCRIPTION
    "Ovel IFS renders fractals by iterating two-dimensional maps and plotting the orbit of a single point: \
iterated function systems, sine-perturbed and three-coordinate maps, and the Gumowski-Mira, Martin and \
Latoocarfian attractors, each step followed by a weighted sum of flame-style variations.
The package holds the Qt desktop program ovel-ifs and the headless renderer ovel-ifs-render.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OVEL_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
