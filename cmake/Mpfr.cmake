# GNU MPFR (with GMP) for the target, where it is installed: the target gnu_mpfr. The binary128
# emulation and bessel-recurrence-plot use it.
find_path(MPFR_INCLUDE_DIR mpfr.h)
find_library(MPFR_LIBRARY mpfr)
find_library(GMP_LIBRARY gmp)
if(MPFR_INCLUDE_DIR AND MPFR_LIBRARY AND GMP_LIBRARY)
  add_library(gnu_mpfr INTERFACE)
  target_include_directories(gnu_mpfr INTERFACE ${MPFR_INCLUDE_DIR})
  target_link_libraries(gnu_mpfr INTERFACE ${MPFR_LIBRARY} ${GMP_LIBRARY})
endif()
