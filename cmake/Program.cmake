# The patch program: its dialog logic (portable, also tested natively), the
# Windows program around it, and the kit from which patchkit build links
# patches.

# ---- the dialog logic, apart from the window system ----
patch_layer_view(ui BELOW base platform fileio engine archive replace wiring)
add_library(patch_ui STATIC src/ui/main_dlg.cpp "${patch_texts_dir}/ui/texts.cpp")
target_link_libraries(patch_ui PUBLIC patch_wiring)
target_compile_options(patch_ui PRIVATE ${PATCHER_WARNINGS})
patch_use_view(patch_ui ui)
add_custom_command(
  OUTPUT "${patch_texts_dir}/ui/texts.h" "${patch_texts_dir}/ui/texts.cpp"
  COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/gen_texts.py"
          "${patch_texts_dir}" ui ${patch_text_tables}
  DEPENDS ${patch_text_tables} "${CMAKE_SOURCE_DIR}/tools/gen_texts.py"
  COMMENT "Generating the CP932 texts of ui")

if(NOT WIN32)
  return()
endif()

# ---- the Windows program ----
set(program_ui_dir "${CMAKE_SOURCE_DIR}/src/ui")
set(program_rc "${program_ui_dir}/program.rc")
# Everything program.rc references; it is compiled from wherever these lie.
set(program_rc_files "${program_ui_dir}/patch.ico" "${program_ui_dir}/program.manifest")
set(program_system_libs comctl32 shell32 ole32 version)

# The window-system side of the program, entry point included.
add_library(patch_program_win32 OBJECT
  src/ui/main.cpp src/ui/win32_main_view.cpp src/ui/select_folder.cpp)
target_link_libraries(patch_program_win32 PUBLIC patch_ui)
target_compile_options(patch_program_win32 PRIVATE ${PATCHER_WARNINGS})
patch_use_view(patch_program_win32 ui)

set_source_files_properties("${program_rc}" PROPERTIES
  COMPILE_OPTIONS --codepage=65001
  OBJECT_DEPENDS "${program_rc_files}")

add_executable(patch_program WIN32 $<TARGET_OBJECTS:patch_program_win32> "${program_rc}")
target_include_directories(patch_program PRIVATE "${program_ui_dir}")
target_link_libraries(patch_program PRIVATE patch_ui ${program_system_libs})
target_link_options(patch_program PRIVATE -municode)

# ---- the kit ----
# kit/libpatch_program.a   every object of the program (entry point, dialog,
#                          engine, file layer, platform, texts)
# kit/program.rc           the program's resources, with the files it names
# kit/link.txt             the arguments after `g++ -o OUT.exe resources.o`,
#                          relative to the kit folder
# A patch: windres -c 65001 --include-dir=<kit> patch.rc, where patch.rc
# starts with #include "program.rc" and adds the script and payloads; then
# the link in the kit folder.
set(kit_dir "${CMAKE_BINARY_DIR}/kit")

set(program_layers patch_ui patch_wiring patch_replace patch_archive patch_engine patch_fileio
  patch_platform patch_base)
set(program_objects $<TARGET_OBJECTS:patch_program_win32>)
foreach(layer ${program_layers})
  list(APPEND program_objects $<TARGET_OBJECTS:${layer}>)
endforeach()
add_library(patch_program_kit STATIC ${program_objects})
set_target_properties(patch_program_kit PROPERTIES
  OUTPUT_NAME patch_program
  ARCHIVE_OUTPUT_DIRECTORY "${kit_dir}")
add_dependencies(patch_program_kit patch_program_win32 ${program_layers})

# -s: the program a player gets carries no symbols.
set(kit_link_args -s -static -mwindows -municode
  -Wl,--whole-archive libpatch_program.a -Wl,--no-whole-archive)
foreach(lib ${program_system_libs})
  list(APPEND kit_link_args -l${lib})
endforeach()
list(JOIN kit_link_args " " kit_link_line)
file(CONFIGURE OUTPUT "${kit_dir}/link.txt" CONTENT "${kit_link_line}\n")

set(kit_copies "")
foreach(file "${program_rc}" ${program_rc_files})
  get_filename_component(name "${file}" NAME)
  add_custom_command(
    OUTPUT "${kit_dir}/${name}"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${file}" "${kit_dir}/${name}"
    DEPENDS "${file}"
    COMMENT "Copying ${name} into the kit")
  list(APPEND kit_copies "${kit_dir}/${name}")
endforeach()
add_custom_target(patch_kit ALL DEPENDS patch_program_kit ${kit_copies})
