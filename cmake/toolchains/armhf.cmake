# Linux armhf (32-bit ARM, hard float): no binary128 type at all, so GNU MPFR emulates it.
set(BESSEL_CROSS_PROCESSOR arm)
set(BESSEL_CROSS_TRIPLE arm-linux-gnueabihf)
set(BESSEL_CROSS_EMULATOR qemu-arm)
# As on i386, qemu-arm 7.2 cannot fork a 32-bit glibc 2.36 process (the child crashes): the
# tests that start processes are left out; the complete run (forked by the host) still runs.
set(BESSEL_CROSS_CANNOT_FORK ON)
set(BESSEL_CROSS_PACKAGES libmpfr-dev:armhf libflint-arb-dev:armhf) # adds the armhf architecture
include(${CMAKE_CURRENT_LIST_DIR}/../LinuxCross.cmake)
