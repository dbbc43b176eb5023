# Linux s390x: big-endian, long double is binary128. GNU MPFR for the target, so that the
# laboratory is built and checked there too.
set(BESSEL_CROSS_PROCESSOR s390x)
set(BESSEL_CROSS_TRIPLE s390x-linux-gnu)
set(BESSEL_CROSS_EMULATOR qemu-s390x)
set(BESSEL_CROSS_PACKAGES libmpfr-dev:s390x libflint-arb-dev:s390x) # adds the s390x architecture
include(${CMAKE_CURRENT_LIST_DIR}/../LinuxCross.cmake)
