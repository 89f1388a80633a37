# Faults of the real file system and a real process: the helper that holds
# a file open from a second process (Windows builds, where
# tests/real_faults_test.cpp starts it from beside unit_tests.exe), and the
# test that kills a running `patchkit run` and runs the patch again, and the
# backup cases of real patches on read-only and crowded folders (native).

if(WIN32)
  add_executable(hold_file tests/real_faults/hold_file.cpp)
  target_compile_options(hold_file PRIVATE ${PATCHER_WARNINGS})
  target_link_options(hold_file PRIVATE -municode)
  add_dependencies(unit_tests hold_file)
elseif(TARGET patchkit AND TARGET sample_patch)
  add_test(NAME kill_rerun
           COMMAND "${CMAKE_SOURCE_DIR}/tests/kill_rerun_test.sh"
                   "$<TARGET_FILE:patchkit>" "$<TARGET_FILE:make_sample_game>"
                   "${SAMPLE_PATCH_EXE}" "${SAMPLE_GAME_EXE}")
  set_tests_properties(kill_rerun PROPERTIES TIMEOUT 240)
  # Read-only files, backups that want one name, a stale backup beyond the
  # clean-up and a second run, with patches built on the stand-in kit
  # (cmake/PatchkitBuild.cmake).
  if(TARGET patchkit_standin_kits)
    add_test(NAME backup_cases
             COMMAND "${CMAKE_SOURCE_DIR}/tests/backup_cases_test.sh"
                     "$<TARGET_FILE:patchkit>" "${patchkit_standin_root}/i686/kit"
                     "${SAMPLE_GAME_EXE}" "${sample_game_1_1_EXE}")
    set_tests_properties(backup_cases PROPERTIES TIMEOUT 60)
  endif()
endif()
