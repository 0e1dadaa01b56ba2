# Install rules for what a user gets, and the Windows zip.
#
# `cmake --install build --prefix DIR` puts soundcut and d88list into
# DIR/bin and the README and LICENSE into DIR/share/doc/soundcut. On Windows
# everything goes into one folder, and CPack packs it as
# soundcut-VERSION-win64.zip.

foreach(document README.md LICENSE)
  if(WIN32)
    # A Windows user opens them in Notepad or a browser: CR LF line ends.
    configure_file(${document} ${CMAKE_BINARY_DIR}/package/${document} @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_BINARY_DIR}/package/${document} DESTINATION ${SOUNDCUT_INSTALL_DOCDIR})
  else()
    install(FILES ${document} DESTINATION ${SOUNDCUT_INSTALL_DOCDIR})
  endif()
endforeach()

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
include(CPack)
