# Linux i386: __float128 with libquadmath. Without SSE2 arithmetic, binary64 intermediates
# would be held in the x87's wider registers.
set(BESSEL_CROSS_PROCESSOR i686)
set(BESSEL_CROSS_TRIPLE i686-linux-gnu)
set(BESSEL_CROSS_EMULATOR qemu-i386)
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# qemu-i386 7.2 cannot fork a 32-bit glibc 2.36 process (the child crashes or hangs): the tests
# that start processes are left out; the complete run (forked by the host) still runs.
set(BESSEL_CROSS_CANNOT_FORK ON)
include(${CMAKE_CURRENT_LIST_DIR}/../LinuxCross.cmake)
