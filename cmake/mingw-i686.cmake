# Cross build for 32-bit Windows, the layout the product ships as.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QG_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
