# One library per folder of src/, each seeing only the folders below it.
#
# patch_layer(NAME FOLDER [BELOW folder...] [SOURCES_FROM dir...] [LINKS lib...])
#   A static library of src/FOLDER/*.cpp (or of every SOURCES_FROM folder),
#   with the texts of FOLDER's tables, linked PUBLIC to LINKS. It is compiled
#   with the view build/layers/FOLDER: links to src/FOLDER and to each BELOW
#   folder, and to their generated texts, and nothing else.
# patch_layer_view(FOLDER BELOW folder...) makes a view alone, and
# patch_use_view(TARGET FOLDER) compiles a target with it.

set(patch_texts_dir "${CMAKE_BINARY_DIR}/generated")
file(GLOB patch_text_tables CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/*/*texts.txt")

function(patch_layer_view folder)
  cmake_parse_arguments(PARSE_ARGV 1 view "" "" "BELOW")
  set(root "${CMAKE_BINARY_DIR}/layers/${folder}")
  file(REMOVE_RECURSE "${root}")
  file(MAKE_DIRECTORY "${root}/src" "${root}/generated")
  foreach(seen ${folder} ${view_BELOW})
    file(CREATE_LINK "${CMAKE_SOURCE_DIR}/src/${seen}" "${root}/src/${seen}" SYMBOLIC)
    file(CREATE_LINK "${patch_texts_dir}/${seen}" "${root}/generated/${seen}" SYMBOLIC)
  endforeach()
endfunction()

function(patch_use_view target folder)
  set(root "${CMAKE_BINARY_DIR}/layers/${folder}")
  target_include_directories(${target} PRIVATE "${root}/src" "${root}/generated")
  target_include_directories(${target} SYSTEM PRIVATE "${PATCHER_BOOST_INCLUDE}")
endfunction()

function(patch_layer name folder)
  cmake_parse_arguments(PARSE_ARGV 2 layer "" "" "BELOW;SOURCES_FROM;LINKS")
  if(NOT layer_SOURCES_FROM)
    set(layer_SOURCES_FROM ${folder})
  endif()
  set(sources "")
  foreach(dir ${layer_SOURCES_FROM})
    file(GLOB found CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp")
    list(APPEND sources ${found})
  endforeach()

  set(tables ${patch_text_tables})
  list(FILTER tables INCLUDE REGEX "/src/${folder}/[^/]*texts\\.txt$")
  if(tables)
    set(out "${patch_texts_dir}/${folder}")
    add_custom_command(
      OUTPUT "${out}/texts.h" "${out}/texts.cpp"
      COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/gen_texts.py"
              "${patch_texts_dir}" ${folder} ${patch_text_tables}
      DEPENDS ${patch_text_tables} "${CMAKE_SOURCE_DIR}/tools/gen_texts.py"
      COMMENT "Generating the CP932 texts of ${folder}")
    list(APPEND sources "${out}/texts.cpp")
  endif()

  patch_layer_view(${folder} BELOW ${layer_BELOW})
  add_library(${name} STATIC ${sources})
  patch_use_view(${name} ${folder})
  target_compile_options(${name} PRIVATE ${PATCHER_WARNINGS})
  if(layer_LINKS)
    target_link_libraries(${name} PUBLIC ${layer_LINKS})
  endif()
endfunction()
