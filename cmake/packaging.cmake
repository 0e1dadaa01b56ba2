# Install rules for what a user gets, and the packages.
#
# `cmake --install build --prefix DIR` puts soundcut and d88list into
# DIR/bin, the README, LICENSE and the documents the README links to into
# DIR/share/doc/soundcut and, on POSIX, the manual pages into
# DIR/share/man/man1. On Windows everything goes into one folder, and CPack
# packs it as soundcut-VERSION-win64.zip; on Linux CPack makes a .tar.gz and
# (cpack -G DEB) a Debian package.
#
# The documents keep the folders they have in the sources, so that every
# link of an installed README (and of the documents) leads somewhere.
set(documents README.md LICENSE CONTRIBUTING.md docs/building.md docs/design.md docs/testing.md
  docs/page.png d88list/d88list.schema.json)

foreach(document ${documents})
  get_filename_component(folder ${document} DIRECTORY)
  set(destination ${SOUNDCUT_INSTALL_DOCDIR}/${folder})
  # The Debian package has the license as its copyright file instead.
  if(document STREQUAL "LICENSE")
    set(component COMPONENT license)
  else()
    set(component)
  endif()
  if(WIN32 AND NOT document MATCHES "[.]png$")
    # A Windows user opens them in Notepad or a browser: CR LF line ends.
    configure_file(${document} ${CMAKE_BINARY_DIR}/package/${document} @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_BINARY_DIR}/package/${document} DESTINATION ${destination} ${component})
  else()
    install(FILES ${document} DESTINATION ${destination} ${component})
  endif()
endforeach()

if(NOT WIN32)
  # The manual pages take the version from here, and are installed
  # compressed, as Debian does (gzip -n: no name or time in the header).
  find_program(GZIP_PROGRAM gzip REQUIRED)
  set(manPages)
  foreach(program soundcut d88list)
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    configure_file(${program}/${program}.1.in ${page} @ONLY)
    add_custom_command(OUTPUT ${page}.gz COMMAND ${GZIP_PROGRAM} -9nkf ${page} DEPENDS ${page}
      COMMENT "Compressing the manual page ${program}(1)")
    list(APPEND manPages ${page}.gz)
  endforeach()
  # The Debian changelog, compressed the same way.
  set(changelog ${CMAKE_BINARY_DIR}/package/changelog)
  configure_file(cmake/changelog ${changelog} COPYONLY)
  add_custom_command(OUTPUT ${changelog}.gz COMMAND ${GZIP_PROGRAM} -9nkf ${changelog}
    DEPENDS ${changelog})
  add_custom_target(manual_pages ALL DEPENDS ${manPages} ${changelog}.gz)
  install(FILES ${manPages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Only in the Debian package (see deb-package.cmake).
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright COMPONENT debian
    EXCLUDE_FROM_ALL)
  install(FILES ${changelog}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME soundcut)
set(CPACK_PACKAGE_VENDOR soundcut)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Cuts the sound driver and music data out of D88 images")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME soundcut-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR TGZ)
endif()

# The Debian package, soundcut_VERSION_ARCH.deb: the programs stripped,
# the manual pages, the README, the license as copyright and the changelog;
# its Depends worked out by dpkg-shlibdeps from the programs' libraries.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "soundcut authors <maintainers@users.noreply.c-seed-a57953ac.example>")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# After the summary line, CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "soundcut finds every disk of a D88 floppy image of the X1 computer that is
disk A of the game Brevindor Tolvask, recognised by the boot name in its
boot sector, and cuts the game's two sound drivers and their music data out
of it, byte for byte, into the files PSGDRV, OPMDRV, PSGMUS and OPMMUS.
.
d88list, its companion, shows what an image holds: every disk's name,
boot name and the sector IDs of its tracks.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# What only the Debian package holds (see cmake/deb-package.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/deb-package.cmake)
include(CPack)
