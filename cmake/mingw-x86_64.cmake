# Cross toolchain for the x86-64 build of the same sources: 64-bit Windows,
# mingw-w64 from Debian. The shipped installer is the 32-bit build; this one
# exists so that every Win32 test can run under 64-bit Wine on machines that
# run no 32-bit x86 code, and so that 64-bit breakage shows at once.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# 64-bit Wine's loader; scripts/with-wine.sh puts it on PATH as wine64.
set(CMAKE_CROSSCOMPILING_EMULATOR wine64)
