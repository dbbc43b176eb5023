# Linux aarch64, where long double is binary128.
set(BESSEL_CROSS_PROCESSOR aarch64)
set(BESSEL_CROSS_TRIPLE aarch64-linux-gnu)
set(BESSEL_CROSS_EMULATOR qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/../LinuxCross.cmake)
