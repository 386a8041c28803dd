# `cpack -G DEB` in a build configured with the "package" preset (prefix
# /usr): one package, tavelnor, with everything `cmake --install` puts down.
# Its dependencies are found from the shared libraries its files link
# (dpkg-shlibdeps); its shared libraries get a shlibs file and the ldconfig
# trigger. The Debian copyright file and changelog come from
# packaging/debian.
set(CPACK_PACKAGE_NAME tavelnor)
set(CPACK_PACKAGE_VENDOR "The Tavelnor developers")
set(CPACK_PACKAGE_CONTACT "The Tavelnor developers <tavelnor@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "data access to the record files of an accounting and management range")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavelnor reads the Btrieve record files of an older accounting and management
application range through the binary dictionary that describes them: a C
library (libtavelnor) with its header, CMake package and pkg-config file, an
embedded record manager that needs no Btrieve engine and reads the earlier
engines' files, and the tavelnor command-line tool, which lists, dumps and
exports the data without ever writing to it.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The dynamic linker's cache is brought up to date by dpkg's trigger.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)

# What Debian's policy asks of every package's documentation folder.
set(TAVELNOR_DEB_DOC ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavelnor)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
        ${PROJECT_BINARY_DIR}/package/changelog.gz DESTINATION ${TAVELNOR_DEB_DOC})
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/package/changelog.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/debian/changelog > ${PROJECT_BINARY_DIR}/package/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
add_custom_target(tavelnor_deb_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/package/changelog.gz)
include(CPack)
