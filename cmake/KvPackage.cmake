# The Debian package kv-controller: `cpack -G DEB` in the build tree (scripts/package) packs
# what `cmake --install` installs, under /usr, with the dependencies dpkg-shlibdeps finds in
# the binaries and the maintainer scripts that reload the udev rule.
include(GNUInstallDirs)

set(KV_PACKAGE_MAINTAINER "KV Controller developers <kv-controller@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(KV_PACKAGE_SOURCE ${PROJECT_SOURCE_DIR}/src/resources/package)
set(KV_PACKAGE_DOC ${CMAKE_INSTALL_DATADIR}/doc/kv-controller)

# Debian wants a copyright file and a compressed changelog in the package's doc directory.
configure_file(${KV_PACKAGE_SOURCE}/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package/changelog.gz
    COMMAND gzip -9 -n -f -k ${CMAKE_BINARY_DIR}/package/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/package/changelog
    VERBATIM)
add_custom_target(kv_package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/package/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz ${KV_PACKAGE_SOURCE}/copyright
    DESTINATION ${KV_PACKAGE_DOC})

# What the install rules take from the build, so scripts/package builds no more than that.
add_custom_target(kv_installed_files)
add_dependencies(kv_installed_files kvcontrol kvctl kvsim kvcontrol_man kvctl_man kvsim_man
    kv_package_changelog)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kv-controller)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KV_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control application for the KV5930Q USB audio processor")
# The extended description under the summary line; CPack indents it and marks the empty
# lines between paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"kvcontrol is the desktop application for the KV5930Q karaoke and home-theatre
audio processor: microphones, music, echo and reverb, eight output channels,
mode files (.amod) and the processor's Z-Wave smart-home hub.

kvctl controls the processor from the command line and scripts; kvsim is a
simulated processor that both programs find like a real one.

The udev rule gives the user at the seat access to the processor, without
group membership.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${KV_PACKAGE_SOURCE}/postinst ${KV_PACKAGE_SOURCE}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
