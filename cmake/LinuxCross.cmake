# Linux on another architecture with Debian's cross compiler (g++-TRIPLE), run under qemu-user
# with the cross libraries. Included by the per-target toolchain files in toolchains/, which set
# BESSEL_CROSS_PROCESSOR, BESSEL_CROSS_TRIPLE and BESSEL_CROSS_EMULATOR (and may name further
# Debian packages in BESSEL_CROSS_PACKAGES).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${BESSEL_CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${BESSEL_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${BESSEL_CROSS_TRIPLE}-g++)
# The cross libraries, and Debian's multiarch libraries of that architecture (libmpfr-dev:armhf).
set(CMAKE_LIBRARY_ARCHITECTURE ${BESSEL_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH /usr/${BESSEL_CROSS_TRIPLE} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${BESSEL_CROSS_EMULATOR} -L /usr/${BESSEL_CROSS_TRIPLE})
# With Debian's libraries of that architecture installed (libmpfr-dev:s390x), the system's C
# library of that architecture is there too, and the loader, which finds libraries through this
# machine's cache, would take it instead of the cross toolchain's own, against which the loader
# was built (the process then fails at once: "stack smashing detected"). The cross toolchain's
# libraries come first.
if(BESSEL_CROSS_PACKAGES MATCHES ":")
  list(APPEND CMAKE_CROSSCOMPILING_EMULATOR -E LD_LIBRARY_PATH=/usr/${BESSEL_CROSS_TRIPLE}/lib)
endif()
# For scripts/cross-test: what to install, and a command that shows the emulator starts.
list(APPEND BESSEL_CROSS_PACKAGES g++-${BESSEL_CROSS_TRIPLE} qemu-user googletest)
set(BESSEL_CROSS_PROBE --version)
