# The helper of the end-to-end window test (tests/window/window_test.sh):
# list_controls.exe, which prints a window's controls. Each Windows build
# has its own, beside the program it looks at.
if(NOT WIN32)
  return()
endif()

add_executable(list_controls tests/window/list_controls.cpp)
target_compile_options(list_controls PRIVATE ${PATCHER_WARNINGS})
target_link_options(list_controls PRIVATE -municode)
