# Linux armhf (32-bit ARM, hard float): no binary128 type at all, so GNU MPFR emulates it.
set(BESSEL_CROSS_PROCESSOR arm)
set(BESSEL_CROSS_TRIPLE arm-linux-gnueabihf)
set(BESSEL_CROSS_EMULATOR qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
