# Linux ppc64el (POWER, little-endian): __float128 with libquadmath; long double is IBM
# double-double and is left alone.
set(BESSEL_CROSS_PROCESSOR ppc64le)
set(BESSEL_CROSS_TRIPLE powerpc64le-linux-gnu)
set(BESSEL_CROSS_EMULATOR qemu-ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/../LinuxCross.cmake)
