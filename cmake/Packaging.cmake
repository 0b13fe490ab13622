# Debian packages through CPack (make package): one per install component.
#   qvx-asset-tools  the programs, their menu entries, icons, file types and
#                    manual pages (component "tools")
#   libqvx-dev       the game library for building games (component "dev")
set(QVX_MAINTAINER "QVX asset tools maintainers <maintainers@users.noreply.c-seed-1baef12a.example>")
set(QVX_PACKAGES_DIR ${CMAKE_BINARY_DIR}/packages)

# What Debian expects in /usr/share/doc/<package>: the licence as a
# machine-readable copyright file and a compressed changelog.
set(doc_out ${CMAKE_BINARY_DIR}/package-doc)
file(MAKE_DIRECTORY ${doc_out})
file(READ ${CMAKE_SOURCE_DIR}/LICENSE QVX_LICENSE_TEXT)
# The licence's terms (from "Permission" on), indented as the format wants.
string(REGEX REPLACE "^.*\n(Permission)" "\\1" QVX_LICENSE_TEXT "${QVX_LICENSE_TEXT}")
string(STRIP "${QVX_LICENSE_TEXT}" QVX_LICENSE_TEXT)
string(REGEX REPLACE "\n\n" "\n.\n" QVX_LICENSE_TEXT "${QVX_LICENSE_TEXT}")
string(REGEX REPLACE "\n([^\n])" "\n \\1" QVX_LICENSE_TEXT " ${QVX_LICENSE_TEXT}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/copyright.in ${doc_out}/copyright @ONLY)
# gzip -n: no name or time in the header, so the file is the same every build.
execute_process(COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/cmake/debian/changelog
                OUTPUT_FILE ${doc_out}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/cmake/debian/copyright.in
             ${CMAKE_SOURCE_DIR}/cmake/debian/changelog)
install(FILES ${doc_out}/copyright ${doc_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qvx-asset-tools COMPONENT tools)
install(FILES ${doc_out}/copyright ${doc_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libqvx-dev COMPONENT dev)

# Manual pages, compressed as Debian wants them.
file(GLOB man_pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/*.1)
foreach(page IN LISTS man_pages)
  get_filename_component(name ${page} NAME)
  add_custom_command(OUTPUT ${doc_out}/${name}.gz
                     COMMAND gzip -9nc ${page} > ${doc_out}/${name}.gz
                     DEPENDS ${page})
  list(APPEND man_gz ${doc_out}/${name}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_gz})
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QVX_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${QVX_PACKAGES_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL tools dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE qvx)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QVX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME qvx-asset-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION graphics)
# The libraries the programs load, read from the programs themselves.
set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "authoring tools for QVX game asset libraries
Hueshelf edits hi-colour image libraries (.HCL), Slideshelf intro screen
libraries (.CRL); qvxlib inspects, builds, checks and extracts every library
kind of the QVX 2-D game library (.HCL, .CRL, .IML, .SDL, maps) from scripts
and build pipelines, and compiles game forms; qvxtrace shows what a running
game sends to its trace channel. Includes menu entries, icons and the
library file types.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libqvx-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS ON)
# Static libraries: a game needs the libraries the game library links, their
# headers and CMake packages, and qvxlib (QVX::qvxlib, qvx_add_form).
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
    "qvx-asset-tools (= ${PROJECT_VERSION}), qt6-base-dev (>= 6.4), libsdl2-dev, libjpeg-dev")
set(CPACK_DEBIAN_DEV_DESCRIPTION "QVX 2-D game library - development files
The QVX game library for games written in C++20 on Qt 6: a display screen
with DirectDraw-style surfaces, sound through DirectSound-style buffers,
keyboard, mouse and joystick input, and the image, sound, map, hi-colour and
intro libraries games load. A game's window is a form, compiled from text.
This package holds the headers, the static libraries, the CMake package QVX
(find_package(QVX), QVX::qvx, qvx_add_form) and the pkg-config file qvx.pc.")

include(CPack)
