# Debian packages of the install rules in packaging/CMakeLists.txt:
#   cpack -G DEB --config build/release/CPackConfig.cmake
# Dependencies come from the programs' shared libraries (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kaviro)
set(CPACK_PACKAGE_VENDOR Veldmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KAVIRO_PACKAGER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL kaviro tools tarvek)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_DEBIAN_KAVIRO_PACKAGE_NAME kaviro)
set(CPACK_DEBIAN_KAVIRO_PACKAGE_SECTION video)
# The skin draws its captions in DejaVu Sans, which no shared library names;
# dpkg-shlibdeps adds the libraries to this.
set(CPACK_DEBIAN_KAVIRO_PACKAGE_DEPENDS fonts-dejavu-core)
set(CPACK_DEBIAN_KAVIRO_DESCRIPTION "client for networked digital video recorders
Kaviro is the operator's client for networked DVRs that record up to 16
camera channels as MPEG-4: live view of up to four DVRs, pan/tilt and
presets, alarms, search and playback, download, local recording, DVR status
and logs.
.
The package also holds kaviro-setup (the configuration keys and address
book), kaviroctl (the client's sessions on the command line, for scripts and
health checks), and vistrel-view with the viewer control libvistrel.so.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME kaviro-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "DVR emulator and boot monitor for trying Kaviro and Tarvek
dvremu plays a networked DVR on the loopback or the network: command,
stream and file download ports, real MPEG-4 video, recordings to search,
play and download, alarms and faults on demand. bootmon answers on a
pseudo-terminal as a DVR's boot monitor does, for Tarvek to download into.")

set(CPACK_DEBIAN_TARVEK_PACKAGE_NAME tarvek)
set(CPACK_DEBIAN_TARVEK_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TARVEK_DESCRIPTION "serial firmware download tool for DVRs
Tarvek downloads application and boot images into DVRs over up to four
serial lines, and packs and unpacks application images on the command line
for build pipelines.")

include(CPack)
