# qvx_add_form(<target> <form-text> [OUTPUT <name>])
#
# Compiles a game's main window, written as a text form, into the form data
# the game loads at start:
# - every @HEX:<file>@ in the text becomes the bytes of <file> in hex, and
#   every @TEXT:<file>:<Object>@ the text of <file> (an object block, such as
#   `qvxlib form text` writes) renamed to <Object>. <file> is looked for
#   beside the form first, then in the current binary folder, where the
#   libraries the game's build makes (with `qvxlib create`) land;
# - `qvxlib form binary` compiles the result to <name> (by default the
#   form's name with .dfm) beside <target>'s executable, so the game finds
#   it next to itself;
# - <target> depends on it, and its QVX_FORM property holds its path (for
#   install(FILES ...)).
function(qvx_add_form target form)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "OUTPUT" "")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "qvx_add_form: unexpected arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "qvx_add_form: ${target} is not a target")
  endif()
  get_filename_component(form "${form}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  if(NOT EXISTS "${form}")
    message(FATAL_ERROR "qvx_add_form: ${form} does not exist")
  endif()
  get_filename_component(form_dir "${form}" DIRECTORY)
  get_filename_component(form_name "${form}" NAME_WE)
  set(name "${arg_OUTPUT}")
  if(NOT name)
    set(name "${form_name}.dfm")
  endif()

  # Beside the executable: its output folder (per configuration with a
  # multi-configuration generator).
  get_target_property(dir ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT dir)
    get_target_property(dir ${target} BINARY_DIR)
  endif()
  get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  if(multi_config)
    string(APPEND dir "/$<CONFIG>")
  endif()
  set(output "${dir}/${name}")
  set(filled "${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}.txt")

  # The files the form names; a new reference in the form reconfigures.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${form}")
  file(READ "${form}" text)
  string(REGEX MATCHALL "@(HEX|TEXT):[^@:]+" refs "${text}")
  set(depends "")
  foreach(ref IN LISTS refs)
    string(REGEX REPLACE "^@(HEX|TEXT):" "" file "${ref}")
    if(EXISTS "${form_dir}/${file}")
      list(APPEND depends "${form_dir}/${file}")
    else()
      list(APPEND depends "${CMAKE_CURRENT_BINARY_DIR}/${file}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES depends)

  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} "-DIN=${form}" "-DOUT=${filled}" "-DFORM_DIR=${form_dir}"
            "-DBINARY_DIR=${CMAKE_CURRENT_BINARY_DIR}" -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/QVXEmbedForm.cmake"
    COMMAND $<TARGET_FILE:QVX::qvxlib> form binary "${filled}" "${output}"
    DEPENDS "${form}" "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/QVXEmbedForm.cmake" ${depends}
            $<TARGET_FILE:QVX::qvxlib>
    COMMENT "Compiling the form ${form_name} for ${target}"
    VERBATIM)
  add_custom_target(${target}_form DEPENDS "${output}")
  add_dependencies(${target} ${target}_form)
  set_target_properties(${target} PROPERTIES QVX_FORM "${output}")
endfunction()
