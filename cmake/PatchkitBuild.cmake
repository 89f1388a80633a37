# patchkit build: where it looks for the kits by default, and its tests
# (native builds only; the end-to-end test needs MinGW-w64 for both arches).

if(WIN32 OR NOT TARGET patchkit)
  return()
endif()

# Without --kit or PATCHKIT_KIT_<ARCH>, the kit of the source tree's cross
# build: <source>/build/<arch>/kit.
target_compile_definitions(patchkit PRIVATE PATCHKIT_KIT_ROOT="${CMAKE_SOURCE_DIR}/build")

# The steps that stand alone: script preparation, payload folder, names.
add_executable(patchkit_build_tests
  tests/patchkit/build_command_test.cpp src/tools/patchkit/build_command.cpp)
target_include_directories(patchkit_build_tests PRIVATE src)
target_link_libraries(patchkit_build_tests PRIVATE patch_platform test_common)
target_compile_options(patchkit_build_tests PRIVATE ${PATCHER_WARNINGS})
include(GoogleTest)
gtest_discover_tests(patchkit_build_tests DISCOVERY_TIMEOUT 60)

# End to end: stand-in kits, made from the stub program, so that the test
# does not wait for a cross build; the test takes the real kit of
# <source>/build/<arch>/kit instead where one has been built.
set(patchkit_standin_ready TRUE)
set(patchkit_standin_outputs "")
set(patchkit_standin_root "${CMAKE_BINARY_DIR}/patchkit-standin-kit")
foreach(arch i686 x86_64)
  set(triple ${arch}-w64-mingw32)
  find_program(PATCHKIT_${arch}_WINDRES ${triple}-windres)
  find_program(PATCHKIT_${arch}_CXX NAMES ${triple}-g++-posix ${triple}-g++)
  find_program(PATCHKIT_${arch}_AR ${triple}-ar)
  if(NOT PATCHKIT_${arch}_WINDRES OR NOT PATCHKIT_${arch}_CXX OR NOT PATCHKIT_${arch}_AR)
    set(patchkit_standin_ready FALSE)
    continue()
  endif()
  set(kit "${patchkit_standin_root}/${arch}/kit")
  file(MAKE_DIRECTORY "${kit}")
  # The program's own resources: one of them, and a macro that spells a
  # payload type of the test (which must not turn that type into a number).
  file(WRITE "${kit}/program.rc"
    "// Stand-in for the Windows program's own resources.\n"
    "#define KITMACRO 7\n"
    "100 RCDATA { \"stand-in kit\" }\n")
  file(WRITE "${kit}/link.txt" "libpatch_program.a -static -s\n")
  add_custom_command(
    OUTPUT "${kit}/libpatch_program.a"
    COMMAND "${PATCHKIT_${arch}_CXX}" -O2 -c "${CMAKE_SOURCE_DIR}/src/ui/stub_main.cpp"
            -o "${kit}/stub_main.o"
    COMMAND "${CMAKE_COMMAND}" -E rm -f "${kit}/libpatch_program.a"
    COMMAND "${PATCHKIT_${arch}_AR}" rcs "${kit}/libpatch_program.a" "${kit}/stub_main.o"
    DEPENDS "${CMAKE_SOURCE_DIR}/src/ui/stub_main.cpp"
    COMMENT "Making the ${arch} stand-in kit for the patchkit build tests")
  list(APPEND patchkit_standin_outputs "${kit}/libpatch_program.a")
endforeach()

if(patchkit_standin_ready AND TARGET sample_patch)
  add_custom_target(patchkit_standin_kits ALL DEPENDS ${patchkit_standin_outputs})
  add_test(NAME patchkit_build
           COMMAND "${CMAKE_SOURCE_DIR}/tests/patchkit_build_test.sh"
                   "$<TARGET_FILE:patchkit>" "$<TARGET_FILE:make_sample_game>"
                   "${patchkit_standin_root}" "${CMAKE_SOURCE_DIR}"
                   "${CMAKE_SOURCE_DIR}/sample/script.txt" "${sample_dir}"
                   "${SAMPLE_GAME_EXE}" "${sample_game_1_1_EXE}")
else()
  message(STATUS "MinGW-w64 for i686 and x86_64 not found: the patchkit build test is skipped")
endif()
