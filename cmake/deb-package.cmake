# Read by cpack for each package it makes. The Debian package holds the
# license as /usr/share/doc/soundcut/copyright, with the changelog, where
# Debian looks for them; the LICENSE file every other install has beside
# the README would be a second copy of the same text there.
if(CPACK_GENERATOR STREQUAL "DEB")
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 buildTree)
  set(CPACK_INSTALL_CMAKE_PROJECTS
    "${buildTree};soundcut;Unspecified;/" "${buildTree};soundcut;debian;/")
endif()
