# Linux s390x: big-endian, long double is binary128.
set(BESSEL_CROSS_PROCESSOR s390x)
set(BESSEL_CROSS_TRIPLE s390x-linux-gnu)
set(BESSEL_CROSS_EMULATOR qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/../LinuxCross.cmake)
