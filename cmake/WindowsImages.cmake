# Windows executables that carry resources, built on any machine that has
# MinGW-w64: the image the resource reader's tests read on Linux, the images
# with version information that the version tests read, and the sample patch.
# Also the generated test payload big.bin, which the Windows test binaries
# compile in.

set(test_payload_dir "${CMAKE_BINARY_DIR}/test-resources")
set(test_big_payload "${test_payload_dir}/big.bin")
add_custom_command(
  OUTPUT "${test_big_payload}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${test_payload_dir}"
  COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/make_big_payload.py" "${test_big_payload}"
  DEPENDS "${CMAKE_SOURCE_DIR}/tools/make_big_payload.py"
  COMMENT "Generating the 100000-byte test payload")
add_custom_target(test_payloads DEPENDS "${test_big_payload}")

# A UTF-8 script in the repository becomes the CP932, CRLF text that a patch
# carries.
function(patcher_convert_script source output)
  add_custom_command(
    OUTPUT "${output}"
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/script_to_cp932.py" "${source}" "${output}"
    DEPENDS "${source}" "${CMAKE_SOURCE_DIR}/tools/script_to_cp932.py"
    COMMENT "Converting ${source} to CP932")
endfunction()

if(NOT WIN32)
  find_program(PATCHER_MINGW_WINDRES i686-w64-mingw32-windres)
  find_program(PATCHER_MINGW_CXX i686-w64-mingw32-g++-posix)
  if(PATCHER_MINGW_WINDRES AND PATCHER_MINGW_CXX)
    set(stub_source "${CMAKE_SOURCE_DIR}/src/ui/stub_main.cpp")

    # A Windows program around a resource script: compile the resources,
    # link them with the stub.
    function(patcher_windows_image name rc_file include_dirs depends)
      set(out_dir "${CMAKE_BINARY_DIR}/images")
      set(obj "${out_dir}/${name}.res.o")
      set(exe "${out_dir}/${name}.exe")
      set(includes "")
      foreach(dir ${include_dirs})
        list(APPEND includes "--include-dir=${dir}")
      endforeach()
      add_custom_command(
        OUTPUT "${exe}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${out_dir}"
        COMMAND "${PATCHER_MINGW_WINDRES}" -c 65001 ${includes} -i "${rc_file}" -o "${obj}"
        COMMAND "${PATCHER_MINGW_CXX}" -O2 -s -static -o "${exe}" "${stub_source}" "${obj}"
        DEPENDS "${rc_file}" "${stub_source}" ${depends}
        COMMENT "Building ${name}.exe with MinGW")
      add_custom_target(${name} ALL DEPENDS "${exe}")
      set(${name}_EXE "${exe}" PARENT_SCOPE)
    endfunction()

    patcher_convert_script("${CMAKE_SOURCE_DIR}/tests/resources/test_script.txt"
                           "${test_payload_dir}/test_script.txt")
    patcher_windows_image(test_resources_image
      "${CMAKE_SOURCE_DIR}/tests/resources/test_resources.rc"
      "${test_payload_dir};${CMAKE_SOURCE_DIR}/tests/resources"
      "${test_big_payload};${test_payload_dir}/test_script.txt;${CMAKE_SOURCE_DIR}/tests/resources/hello.bin")
    set(PATCHER_REAL_PE_IMAGE "${test_resources_image_EXE}")

    # Executables with chosen version information, read by the version tests.
    set(version_rc "${CMAKE_SOURCE_DIR}/tests/resources/versions")
    patcher_windows_image(version_ja "${version_rc}/ja.rc" "" "")
    patcher_windows_image(version_en "${version_rc}/en.rc" "" "")
    patcher_windows_image(version_fixed_only "${version_rc}/fixed_only.rc" "" "")
    patcher_windows_image(version_none "${version_rc}/none.rc" "" "")
    set(PATCHER_VERSION_IMAGES version_ja version_en version_fixed_only version_none)
    set(PATCHER_VERSION_IMAGES_DIR "${CMAKE_BINARY_DIR}/images")

    # The sample: the game's executable before and after the patch, the
    # payloads that make_sample_game writes, and the patch around them.
    set(sample_dir "${CMAKE_BINARY_DIR}/sample")
    set(sample_src "${CMAKE_SOURCE_DIR}/sample")
    foreach(version 1_0 1_1)
      patcher_windows_image(sample_game_${version} "${sample_src}/game_${version}.rc"
        "${sample_src}" "${sample_src}/game_version.rc.inc")
    endforeach()
    set(SAMPLE_GAME_EXE "${sample_game_1_0_EXE}")
    # Laid out as patchkit build takes them: payloads/TYPE/NAME.
    set(sample_payloads "${sample_dir}/payloads/PATCH_SCR/EXE"
                        "${sample_dir}/payloads/PATCH_SCR/ENTRY_A"
                        "${sample_dir}/payloads/PATCH_SCR/ENTRY_OGG"
                        "${sample_dir}/payloads/PATCH_SCR/ENTRY_TXT")
    add_custom_command(
      OUTPUT ${sample_payloads}
      COMMAND make_sample_game payloads "${sample_dir}/payloads" --exe "${sample_game_1_1_EXE}"
      DEPENDS make_sample_game "${sample_game_1_1_EXE}"
      COMMENT "Writing the sample patch's payloads")
    patcher_convert_script("${sample_src}/script.txt" "${sample_dir}/script.txt")
    patcher_windows_image(sample_patch "${sample_src}/sample_patch.rc"
      "${sample_dir};${sample_dir}/payloads"
      "${sample_dir}/script.txt;${sample_payloads}")
    set(SAMPLE_PATCH_EXE "${sample_patch_EXE}")
  else()
    message(STATUS "MinGW-w64 not found: no Windows images, the sample patch is skipped")
  endif()
endif()
