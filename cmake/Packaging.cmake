# The Debian package: `cpack -G DEB` in a build configured with -DCMAKE_INSTALL_PREFIX=/usr
# (scripts/package does both). Only targets with install rules go in: the two programs and
# their data; tests, benchmarks and the developer tools have none.
set(KDU_DEB_NAME kestory-drive-updater)
set(KDU_DEB_MAINTAINER "KestoryDriveUpdater developers <drive-updater@kestory.io>")
set(KDU_DEB_REVISION 1)
set(KDU_DEB_VERSION "${PROJECT_VERSION}-${KDU_DEB_REVISION}")
set(KDU_DEB_DATE "Tue, 01 Dec 2026 12:00:00 +0000")
set(KDU_DEB_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/${KDU_DEB_NAME}")

# Debian wants the changelog compressed, with no time stamp in the gzip header.
set(KDU_CHANGELOG "${CMAKE_BINARY_DIR}/packaging/changelog.Debian")
configure_file(packaging/changelog.Debian.in "${KDU_CHANGELOG}" @ONLY)
add_custom_command(
  OUTPUT "${KDU_CHANGELOG}.gz"
  COMMAND gzip -9nf -k "${KDU_CHANGELOG}"
  DEPENDS "${KDU_CHANGELOG}"
  VERBATIM)
add_custom_target(kdu_changelog ALL DEPENDS "${KDU_CHANGELOG}.gz")
install(FILES packaging/copyright "${KDU_CHANGELOG}.gz" DESTINATION "${KDU_DEB_DOC_DIR}")
install(FILES packaging/lintian-overrides DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides"
        RENAME "${KDU_DEB_NAME}")

if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  # The programs carry paths under the prefix (resources, the udev rule in the manual page).
  message(STATUS "Install prefix ${CMAKE_INSTALL_PREFIX}: a package made here would not match its paths; "
                 "configure with -DCMAKE_INSTALL_PREFIX=/usr for cpack")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME "${KDU_DEB_NAME}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${KDU_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for BD-RW KVL-MT38 optical drives")
# Debian wants the lines of the long description under 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Finds every attached optical drive, keeps the BD-RW KVL-MT38 drives, decides\n"
    "whether the firmware shipped with it is newer and fits each drive's hardware,\n"
    "and on the user's word writes it into the drive, showing the drive's progress\n"
    "while it installs.\n"
    "\n"
    "Ships a window (Qt 6), the command line program kdu, simulated drives to try\n"
    "it without the drive, and a udev rule that gives the user at the seat access\n"
    "to the drive.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KDU_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KDU_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Strips the programs and puts their symbols in a -dbgsym package beside the .deb.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
