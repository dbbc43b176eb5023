# What scripts/cross-test needs to know of a target, read from its toolchain file:
#   cmake -DTARGET=aarch64 -P cmake/DescribeTarget.cmake
# prints five lines: the Debian packages to install, the emulator command, the arguments that
# make the emulator show it starts, and the commands (if any) that start and stop a server the
# emulator keeps while the tests run. The targets are the files in toolchains/.
if(NOT EXISTS ${CMAKE_CURRENT_LIST_DIR}/toolchains/${TARGET}.cmake)
  message(FATAL_ERROR "no toolchain file for the target '${TARGET}'")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/toolchains/${TARGET}.cmake)
foreach(list BESSEL_CROSS_PACKAGES CMAKE_CROSSCOMPILING_EMULATOR BESSEL_CROSS_PROBE
             BESSEL_CROSS_SERVER_START BESSEL_CROSS_SERVER_STOP)
  string(JOIN " " line ${${list}})
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line}")
endforeach()
