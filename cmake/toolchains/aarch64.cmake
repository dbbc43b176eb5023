# Linux aarch64, where long double is binary128.
set(BESSEL_CROSS_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
