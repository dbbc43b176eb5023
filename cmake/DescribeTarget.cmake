# What scripts/cross-test needs to know of a target, read from its toolchain file:
#   cmake -DTARGET=aarch64 -P cmake/DescribeTarget.cmake
# prints three lines: the Debian packages to install, the emulator command, and the arguments
# that make the emulator show it starts. The targets are the files in toolchains/.
if(NOT EXISTS ${CMAKE_CURRENT_LIST_DIR}/toolchains/${TARGET}.cmake)
  message(FATAL_ERROR "no toolchain file for the target '${TARGET}'")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/toolchains/${TARGET}.cmake)
foreach(list BESSEL_CROSS_PACKAGES CMAKE_CROSSCOMPILING_EMULATOR BESSEL_CROSS_PROBE)
  string(JOIN " " line ${${list}})
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line}")
endforeach()
