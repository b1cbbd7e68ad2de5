set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QG_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QG_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QG_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QG_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static runtime: the executables import nothing but Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# The same sources give the same bytes wherever and whenever they are built: no link time in
# the PE header, and no checkout or build folder in __FILE__ or debug information.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--no-insert-timestamp")
foreach(lang C CXX)
  set(CMAKE_${lang}_FLAGS_INIT
      "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build")
endforeach()
