# Windows x86-64 with Debian's mingw-w64 cross compiler, run under wine. binary128 is
# __float128 with libquadmath; the runtime libraries are linked in statically so that the
# executable runs on its own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# wine's 64-bit loader itself, not the wrapper /usr/bin/wine: where another architecture was
# added before wine was installed (armhf), apt may satisfy wine32 with that architecture's
# package, and the wrapper then starts a loader this machine cannot run.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
# For scripts/cross-test: what to install, and a command that shows the loader starts (the
# first start also creates wine's prefix).
set(BESSEL_CROSS_PACKAGES g++-mingw-w64-x86-64 wine64 googletest)
set(BESSEL_CROSS_PROBE cmd /c exit)
# A wine server kept running while the tests run, so that each test does not start its own
# (a second per test), and stopped afterwards.
set(BESSEL_CROSS_SERVER_START /usr/lib/wine/wineserver64 --persistent)
set(BESSEL_CROSS_SERVER_STOP /usr/lib/wine/wineserver64 --kill)
