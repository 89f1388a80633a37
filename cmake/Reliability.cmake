# Fault injection at the seam (tests/reliability): reliability_sweep runs
# the sample patch and a second patch on a disk that fails one operation at
# a time, on one that dies halfway followed by a second run, and through a
# restore that fails; reliability_tests checks the fault disk and what the
# sweeps accept.

add_library(reliability_harness STATIC
  tests/support/fault_disk.cpp
  tests/support/journal_bytes.cpp
  tests/support/memory_payloads.cpp
  tests/support/recording_view.cpp
  tests/reliability/file_tree.cpp
  tests/reliability/judge.cpp
  tests/reliability/scenario.cpp
  tests/reliability/sweep.cpp)
target_include_directories(reliability_harness PUBLIC tests)
target_link_libraries(reliability_harness PUBLIC sample_game test_common)
target_compile_options(reliability_harness PRIVATE ${PATCHER_WARNINGS})

add_executable(reliability_sweep tests/reliability/main.cpp)
target_link_libraries(reliability_sweep PRIVATE reliability_harness)
target_compile_options(reliability_sweep PRIVATE ${PATCHER_WARNINGS})

add_executable(reliability_tests
  tests/reliability/fault_disk_test.cpp
  tests/reliability/judge_test.cpp)
target_link_libraries(reliability_tests PRIVATE reliability_harness)
target_compile_options(reliability_tests PRIVATE ${PATCHER_WARNINGS})

if(NOT CMAKE_CROSSCOMPILING)
  include(GoogleTest)
  gtest_discover_tests(reliability_tests DISCOVERY_TIMEOUT 60)
  if(TARGET sample_patch)
    add_dependencies(reliability_sweep sample_patch sample_game_1_0)
    # Every sweep; the second-fault sweep at every 24th point (./dev
    # reliability runs it at every 8th).
    add_test(NAME reliability_sweep
             COMMAND reliability_sweep --sample-patch "${SAMPLE_PATCH_EXE}"
                                       --sample-game "${SAMPLE_GAME_EXE}" --second-stride 24)
  else()
    # No MinGW-w64, no sample patch: the patches made here alone.
    add_test(NAME reliability_sweep COMMAND reliability_sweep --second-stride 24)
  endif()
  set_tests_properties(reliability_sweep PROPERTIES TIMEOUT 900)
elseif(PATCHER_RUN_TESTS)
  # The sample patch and game of the native build (a cross build cannot make
  # the patch's payloads); under Wine every host path is below Z:.
  set(PATCHER_SAMPLE_IMAGES "${CMAKE_SOURCE_DIR}/build/native/images" CACHE PATH
      "Folder of the native build's sample_patch.exe and sample_game_1_0.exe")
  add_test(NAME reliability_tests COMMAND reliability_tests)
  # Every operation, as natively, but for the power cut (the disk double
  # cannot lose a Windows file's unflushed data) and with the second-fault
  # sweep at every 64th point.
  add_test(NAME reliability_sweep
           COMMAND reliability_sweep
                   --sample-patch "Z:${PATCHER_SAMPLE_IMAGES}/sample_patch.exe"
                   --sample-game "Z:${PATCHER_SAMPLE_IMAGES}/sample_game_1_0.exe"
                   --sweep fault --sweep crash --sweep restore --sweep second --sweep again
                   --second-stride 64 --work "Z:/dev/shm")
  set_tests_properties(reliability_tests reliability_sweep PROPERTIES ENVIRONMENT
    "WINEPREFIX=${PATCHER_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
  set_tests_properties(reliability_sweep PROPERTIES TIMEOUT 900)
endif()
