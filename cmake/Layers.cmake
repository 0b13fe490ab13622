# qvx_expose(<target> <source-subdir>...)
# Makes "#include "<source-subdir>/x.h"" work for <target> and for whatever
# links it, and for nothing else: each target gets a private include root in
# the build tree holding a link to the folders it owns. Installed, every
# library of the game library shares include/qvx instead (see Install.cmake).
function(qvx_expose target)
  set(root "${CMAKE_BINARY_DIR}/include/${target}")
  foreach(sub IN LISTS ARGN)
    get_filename_component(parent "${root}/${sub}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    if(NOT EXISTS "${root}/${sub}")
      file(CREATE_LINK "${CMAKE_SOURCE_DIR}/${sub}" "${root}/${sub}" SYMBOLIC)
    endif()
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE "$<BUILD_INTERFACE:${root}>")
  else()
    target_include_directories(${target} PUBLIC "$<BUILD_INTERFACE:${root}>")
  endif()
endfunction()

# qvx_sources(<target> <dir>): adds every .cpp/.h of <dir> (not recursive).
function(qvx_glob_sources target dir)
  file(GLOB srcs CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h")
  target_sources(${target} PRIVATE ${srcs})
endfunction()

# qvx_add_gtest(<name> SOURCES ... LIBS ...): one test program, one ctest entry.
function(qvx_add_gtest name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE QVX_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;SDL_VIDEODRIVER=dummy;QVX_BUILD_DIR=${CMAKE_BINARY_DIR}"
    TIMEOUT 300)
endfunction()
