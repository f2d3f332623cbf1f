# Installation and the Debian package: both programs, and the files a Linux desktop reads to show the program in
# its menus, give it an icon and open .ifs files with it. Included from the top CMakeLists.txt after the targets.
#
#   cmake --install build --prefix /usr/local     (or DESTDIR=... cmake --install build --prefix /usr)
#   cd build && cpack -G DEB
include(GNUInstallDirs)

# One reverse-DNS id names the .desktop file, the icon, the MIME package and the AppStream component.
set(OVEL_APP_ID "io.github.ovelifs.OvelIFS")
# The licence of LICENSE, as AppStream and the package's copyright file name it.
set(OVEL_PROJECT_LICENSE "GPL-3.0-or-later")
# The day the version in project(VERSION) was set; change both together, and add an entry to packaging/changelog.
set(OVEL_RELEASE_DATE "2026-12-07")
# The project has no mail domain of its own: the address is on the reserved .invalid domain, which never delivers
# and never belongs to anyone. Whoever distributes the package sets a real contact with -DOVEL_DEB_MAINTAINER=...
set(OVEL_DEB_MAINTAINER "Ovel IFS developers <ovel-ifs@ovelifs.invalid>" CACHE STRING
    "Maintainer field of the Debian package: Name <address>")

set(ovel_packaging_dir ${CMAKE_SOURCE_DIR}/packaging)

# Compressed the way Debian wants them (gzip -9n: no name, no time stamp, so the same sources give the same bytes).
# Made when CMake configures, not by a build target, so that installing after building only the programs works.
function(ovel_gzip_into source target)
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${target} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${source}: ${status}")
  endif()
endfunction()

set(ovel_generated_dir ${CMAKE_BINARY_DIR}/packaging)
# The package's documentation folder, by the package's name (GNUInstallDirs would take the CMake project's).
set(ovel_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/ovel-ifs)

foreach(program ovel-ifs ovel-ifs-render)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    configure_file(${ovel_packaging_dir}/man/${program}.1.in ${ovel_generated_dir}/${program}.1 @ONLY)
    ovel_gzip_into(${ovel_generated_dir}/${program}.1 ${ovel_generated_dir}/${program}.1.gz)
    install(FILES ${ovel_generated_dir}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

if(TARGET ovel-ifs-render)
  # bash-completion loads it on demand from here, under /usr and /usr/local alike (XDG_DATA_DIRS).
  install(FILES ${ovel_packaging_dir}/ovel-ifs-render.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ovel-ifs-render)
endif()

# What Debian's policy asks of every package: the copyright and licence in machine-readable form, and a changelog.
# The licence's full text is on every Debian system (/usr/share/common-licenses/GPL-3), so LICENSE is not copied.
configure_file(${ovel_packaging_dir}/copyright.in ${ovel_generated_dir}/copyright @ONLY)
# The changelog is history, written by hand: a new version gets a new entry on top (install.staged checks that).
configure_file(${ovel_packaging_dir}/changelog ${ovel_generated_dir}/changelog COPYONLY)
ovel_gzip_into(${ovel_generated_dir}/changelog ${ovel_generated_dir}/changelog.gz)
install(FILES ${ovel_generated_dir}/copyright ${ovel_generated_dir}/changelog.gz DESTINATION ${ovel_doc_dir})

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
# Lines of at most 80 characters, as the package tools show them on a terminal.
set(CPACK_PACKAGE_DESCRIPTION
    "Ovel IFS renders fractals by iterating two-dimensional maps and plotting the
orbit of a single point: iterated function systems, sine-perturbed and
three-coordinate maps, and the Gumowski-Mira, Martin and Latoocarfian
attractors, each step followed by a weighted sum of flame-style variations.
The package holds the Qt desktop program ovel-ifs and the headless renderer
ovel-ifs-render, which renders, resumes and merges long renders in scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OVEL_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
