# Linux riscv64, where long double is binary128.
set(BESSEL_CROSS_PROCESSOR riscv64)
set(BESSEL_CROSS_TRIPLE riscv64-linux-gnu)
set(BESSEL_CROSS_EMULATOR qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/../LinuxCross.cmake)
