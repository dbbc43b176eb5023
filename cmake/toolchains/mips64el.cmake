# Linux mips64el (n64 ABI), where long double is binary128.
set(BESSEL_CROSS_PROCESSOR mips64)
set(BESSEL_CROSS_TRIPLE mips64el-linux-gnuabi64)
set(BESSEL_CROSS_EMULATOR qemu-mips64el)
include(${CMAKE_CURRENT_LIST_DIR}/../LinuxCross.cmake)
