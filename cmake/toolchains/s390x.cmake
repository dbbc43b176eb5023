# Linux s390x: big-endian, long double is binary128.
set(BESSEL_CROSS_ARCH s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
