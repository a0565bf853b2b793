# Cross build for Windows whose programs load the compiler's runtime DLLs shipped beside them:
# Qt's DLLs and the window share one C++ runtime, so nothing links it statically.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT "")
