# The game library as installed, component "dev": the public headers under
# include/qvx (their in-tree paths below that, so a game writes
# "qvx/runtime/screen.h" inside and outside this tree), the static
# libraries, the CMake package QVX (QVX::qvx, QVX::qvxlib, qvx_add_form) and
# qvx.pc. Everything else installed (the programs, desktop files, man pages)
# is component "tools".
include(CMakePackageConfigHelpers)

set(QVX_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/qvx)
set(QVX_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/QVX)

# The libraries a game links, lowest layer last (the link order for
# pkg-config), with the names they get installed: nothing as general as
# "toolkit" lands in the system's library folder.
set(QVX_INSTALLED_LIBRARIES
  qvx qvx
  qvx_intro qvx_intro
  bmputil qvx_bmputil
  platform_dx qvx_dx
  platform_winsys qvx_winsys
  toolkit qvx_toolkit)
set(QVX_LIBRARY_TARGETS "")
set(QVX_LIBRARY_NAMES "")
set(QVX_PC_LIBS "")
while(QVX_INSTALLED_LIBRARIES)
  list(POP_FRONT QVX_INSTALLED_LIBRARIES target name)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} EXPORT_NAME ${name})
  target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${QVX_INSTALL_INCLUDEDIR}>)
  list(APPEND QVX_LIBRARY_TARGETS ${target})
  list(APPEND QVX_LIBRARY_NAMES ${name})
  string(APPEND QVX_PC_LIBS " -l${name}")
endwhile()
# The headers need C++20; whatever links the library gets it.
target_compile_features(toolkit PUBLIC cxx_std_20)

# In the tree the same names a game uses after find_package(QVX).
add_library(QVX::qvx ALIAS qvx)
add_executable(QVX::qvxlib ALIAS qvxlib)

install(TARGETS ${QVX_LIBRARY_TARGETS} EXPORT QVXTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(TARGETS qvxlib EXPORT QVXTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
# A stripped install (make package) keeps the symbols a game links against
# and drops the debug information, most of the libraries' size.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(name ${QVX_LIBRARY_NAMES})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/lib\${name}.a\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()" COMPONENT dev)
install(EXPORT QVXTargets NAMESPACE QVX:: DESTINATION ${QVX_INSTALL_CMAKEDIR} COMPONENT dev)

# Public headers by rule: every header of these layers but the backends'
# internals and a few files internal to their layer. A new public header
# needs nothing here; the sdk_headers test compiles each installed header
# on its own, so one that includes a private header fails.
set(QVX_PRIVATE_HEADERS
  "platform/[a-z]+/(qt|sdl)"     # the Qt and SDL2 backends
  "platform/winsys/services\\.h" # what the window-system backends implement
  "platform/ddraw/device\\.h"    # the DirectDraw objects behind the interfaces
  "platform/dsound/(sink|mixer)\\.h"  # the sound backends' half and the mixer
  "platform/dinput/joysticks\\.h"     # what the joystick backends implement
  "toolkit/metafile_player\\.h")      # the metafile renderer's state
set(excludes "")
foreach(private IN LISTS QVX_PRIVATE_HEADERS)
  list(APPEND excludes REGEX "/${private}$" EXCLUDE)
endforeach()
install(DIRECTORY toolkit bmputil qvx platform
        DESTINATION ${QVX_INSTALL_INCLUDEDIR} COMPONENT dev
        FILES_MATCHING PATTERN "*.h" ${excludes})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QVXConfig.cmake.in
  ${CMAKE_BINARY_DIR}/QVXConfig.cmake INSTALL_DESTINATION ${QVX_INSTALL_CMAKEDIR})
# Before 1.0 the interface may change with every minor version.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/QVXConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/QVXConfig.cmake ${CMAKE_BINARY_DIR}/QVXConfigVersion.cmake
              ${CMAKE_CURRENT_LIST_DIR}/QVXForm.cmake ${CMAKE_CURRENT_LIST_DIR}/QVXEmbedForm.cmake
        DESTINATION ${QVX_INSTALL_CMAKEDIR} COMPONENT dev)

# qvx.pc finds the prefix from where it lies, so a staged or unpacked
# install works as well as the real one.
file(RELATIVE_PATH QVX_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" QVX_PC_TO_PREFIX "${QVX_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/qvx.pc.in ${CMAKE_BINARY_DIR}/qvx.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/qvx.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# Each installed header compiles on its own against the installed tree.
add_test(NAME sdk_headers COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-headers.sh ${CMAKE_BINARY_DIR})
set_tests_properties(sdk_headers PROPERTIES TIMEOUT 600)
