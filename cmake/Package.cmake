# `cpack -G DEB` in the build folder makes orvane_VERSION_ARCH.deb. Its
# dependencies come from the shared libraries the programs link; its
# maintainer scripts grant the capture capabilities and set up the group.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvane project <maintainers@orvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set up networked intercom and PA terminals")
# The summary above is its first line; CPack wraps and indents the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A tool for technicians who install networked intercom and public-address
terminals: it finds the devices on the LAN with raw layer-2 frames, whatever
their IP settings, configures them one by one or in batches, uploads firmware
and broadcasts MP3 audio to them as an RTP multicast stream.

The package contains the desktop program orvane and the command-line tool
orvane-cli. Both are granted cap_net_raw and cap_net_admin at installation
and may be run by members of the system group orvane only.")
# A Debian revision of its own: the package is not the upstream source.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# adduser and setcap for the maintainer scripts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec | policykit-1")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/debian/postinst
    ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)

# Builds the package from this build folder and checks it: lintian finds no
# error, the dependencies came from the linked libraries, and the maintainer
# scripts grant the capabilities to members of the group only.
# Sanitizer builds are for the tests, not for shipping.
if(NOT ORVANE_SANITIZE AND NOT ORVANE_FUZZ)
    find_program(LINTIAN_PROGRAM lintian)
    add_test(NAME package
        COMMAND ${CMAKE_SOURCE_DIR}/packaging/check-package.sh ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}
                "${LINTIAN_PROGRAM}")
    set_tests_properties(package PROPERTIES LABELS package TIMEOUT 600)
endif()
