# Helpers that turn authored data into embedded resources; the functions are global, so any
# directory added after Tools can use them.

# Generated table sources include "ResourceEmbedder/EmbeddedResources.h" and "Core/SEmbeddedResource.h".
set_property(GLOBAL PROPERTY QEL_EMBED_INCLUDE_DIRS
  ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/Sources)

# qel_compile_definitions(<out_var> <file.xml>...)
# Compiles each definition file into ${CMAKE_BINARY_DIR}/Data/<name>.bin and sets <out_var> to the
# list of those paths. Relative paths are taken from the calling directory.
function(qel_compile_definitions out_var)
  set(outputs)
  foreach(xml IN LISTS ARGN)
    get_filename_component(input "${xml}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(name "${input}" NAME_WLE)
    set(output "${CMAKE_BINARY_DIR}/Data/${name}.bin")
    if(output IN_LIST outputs)
      message(FATAL_ERROR "qel_compile_definitions: two files compile to ${output}")
    endif()
    add_custom_command(
      OUTPUT "${output}"
      COMMAND qel-defc "${input}" "${output}"
      DEPENDS qel-defc "${input}"
      COMMENT "Compiling definitions ${name}"
      VERBATIM)
    list(APPEND outputs "${output}")
  endforeach()
  set(${out_var} ${outputs} PARENT_SCOPE)
endfunction()

# qel_build_banks(<out_var> <file.xml>...)
# Writes each bank source into ${CMAKE_BINARY_DIR}/Data/<name>.bin and sets <out_var> to those paths.
function(qel_build_banks out_var)
  set(outputs)
  foreach(xml IN LISTS ARGN)
    get_filename_component(input "${xml}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(name "${input}" NAME_WLE)
    set(output "${CMAKE_BINARY_DIR}/Data/${name}.bin")
    add_custom_command(
      OUTPUT "${output}"
      COMMAND qel-bankc "${input}" "${output}"
      DEPENDS qel-bankc "${input}"
      COMMENT "Building banks ${name}"
      VERBATIM)
    list(APPEND outputs "${output}")
  endforeach()
  set(${out_var} ${outputs} PARENT_SCOPE)
endfunction()

# The DejaVu faces of fonts-dejavu-core, read at build time only.
set(QEL_FONT_DIR "/usr/share/fonts/truetype/dejavu" CACHE PATH "Folder of the TrueType faces the fonts are made from")
if(NOT EXISTS "${QEL_FONT_DIR}/DejaVuSans.ttf")
  message(FATAL_ERROR "DejaVuSans.ttf is not in ${QEL_FONT_DIR}: install fonts-dejavu-core (scripts/install-deps.sh)")
endif()

# qel_compile_fonts(<out_var> <description.txt>...)
# Compiles each font description into ${CMAKE_BINARY_DIR}/Gfx/Fonts/<name>.fnt and sets <out_var> to
# those paths.
function(qel_compile_fonts out_var)
  set(outputs)
  foreach(description IN LISTS ARGN)
    get_filename_component(input "${description}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(name "${input}" NAME_WLE)
    set(output "${CMAKE_BINARY_DIR}/Gfx/Fonts/${name}.fnt")
    add_custom_command(
      OUTPUT "${output}"
      COMMAND qel-fontc "${input}" "${QEL_FONT_DIR}" "${output}"
      DEPENDS qel-fontc "${input}"
      COMMENT "Compiling font ${name}"
      VERBATIM)
    list(APPEND outputs "${output}")
  endforeach()
  set(${out_var} ${outputs} PARENT_SCOPE)
endfunction()

# qel_compile_image_sets(<out_var> <description.isd>...)
# Compiles each image set description into ${CMAKE_BINARY_DIR}/Gfx/Imagesets/<name>.is and sets
# <out_var> to those paths.
function(qel_compile_image_sets out_var)
  set(outputs)
  foreach(description IN LISTS ARGN)
    get_filename_component(input "${description}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(name "${input}" NAME_WLE)
    set(output "${CMAKE_BINARY_DIR}/Gfx/Imagesets/${name}.is")
    add_custom_command(
      OUTPUT "${output}"
      COMMAND qel-isc "${input}" "${QEL_FONT_DIR}" "${output}"
      DEPENDS qel-isc "${input}"
      COMMENT "Compiling image set ${name}"
      VERBATIM)
    list(APPEND outputs "${output}")
  endforeach()
  set(${out_var} ${outputs} PARENT_SCOPE)
endfunction()

# qel_embed_resources(TARGET <target> RESOURCES "<name>=<path>"...)
# Creates the static library <target> holding qel::g_embeddedResources with one block per file,
# regenerated whenever a file changes. Relative paths are taken from the calling directory; names
# are kept as written.
function(qel_embed_resources)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET" "RESOURCES")
  if(NOT arg_TARGET)
    message(FATAL_ERROR "qel_embed_resources: TARGET is required")
  endif()
  set(arguments)
  set(files)
  foreach(entry IN LISTS arg_RESOURCES)
    string(FIND "${entry}" "=" equals)
    if(equals LESS 1)
      message(FATAL_ERROR "qel_embed_resources: expected name=path, got \"${entry}\"")
    endif()
    string(SUBSTRING "${entry}" 0 ${equals} name)
    math(EXPR pathStart "${equals} + 1")
    string(SUBSTRING "${entry}" ${pathStart} -1 path)
    get_filename_component(path "${path}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    list(APPEND arguments "${name}=${path}")
    list(APPEND files "${path}")
  endforeach()

  set(source "${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}.cpp")
  add_custom_command(
    OUTPUT "${source}"
    COMMAND qel-embed "${source}" ${arguments}
    DEPENDS qel-embed ${files}
    COMMENT "Embedding resources of ${arg_TARGET}"
    VERBATIM)
  add_library(${arg_TARGET} STATIC "${source}")
  get_property(includes GLOBAL PROPERTY QEL_EMBED_INCLUDE_DIRS)
  target_include_directories(${arg_TARGET} PUBLIC ${includes})
endfunction()
