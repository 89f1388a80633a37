# The sample patch: the sample script and payloads wrapped as resources
# around a minimal Windows program, built with MinGW's windres and linker.
find_program(SAMPLE_WINDRES i686-w64-mingw32-windres)
find_program(SAMPLE_MINGW_CXX i686-w64-mingw32-g++-posix)
