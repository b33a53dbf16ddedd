# What a package carries beyond the program: licence, AppStream metadata, and
# the Debian package built by `cpack -G DEB`.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)
install(FILES ${CMAKE_SOURCE_DIR}/data/io.github.quillon_renamer.quillon.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/debian/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)

# The manual page and the changelog go compressed, as Debian ships them.
set(QUILLON_GZIPPED)
foreach(source quillon.1 debian/changelog)
  get_filename_component(name ${source} NAME)
  set(gzipped ${CMAKE_BINARY_DIR}/${name}.gz)
  add_custom_command(OUTPUT ${gzipped}
    COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/data/${source} > ${gzipped}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${source} VERBATIM)
  list(APPEND QUILLON_GZIPPED ${gzipped})
endforeach()
add_custom_target(quillon_docs ALL DEPENDS ${QUILLON_GZIPPED})
install(FILES ${CMAKE_BINARY_DIR}/quillon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)

set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "The Quillon developers")
set(CPACK_PACKAGE_CONTACT "Quillon developers <quillon-dev@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rename many files and folders at once")
set(CPACK_PACKAGE_DESCRIPTION
  "Quillon renames many files and folders at once: browse your folders, collect files in a rename list, pick one of eight operations and check a preview of every new name before anything changes. It never replaces an existing file and can undo its renames, also after a crash.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/quillon-renamer/quillon")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "coreutils")
include(CPack)
