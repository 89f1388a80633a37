# The helper of the end-to-end window test (tests/window/window_test.sh):
# list_controls.exe, which prints a window's controls. Built for x86_64
# only, the architecture the test runs under Wine.
if(NOT WIN32 OR NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  return()
endif()

add_executable(list_controls tests/window/list_controls.cpp)
target_compile_options(list_controls PRIVATE ${PATCHER_WARNINGS})
target_link_options(list_controls PRIVATE -municode)
