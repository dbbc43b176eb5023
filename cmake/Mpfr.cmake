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

# Arb (FLINT's ball arithmetic, Debian's libflint-arb-dev), where it is installed beside MPFR:
# the target arb_balls. The Bessel reference computes its truth with it.
find_path(ARB_INCLUDE_DIR arb.h)
find_library(ARB_LIBRARY NAMES flint-arb arb)
find_library(FLINT_LIBRARY flint)
if(TARGET gnu_mpfr AND ARB_INCLUDE_DIR AND ARB_LIBRARY AND FLINT_LIBRARY)
  add_library(arb_balls INTERFACE)
  target_include_directories(arb_balls INTERFACE ${ARB_INCLUDE_DIR})
  target_link_libraries(arb_balls INTERFACE ${ARB_LIBRARY} ${FLINT_LIBRARY} gnu_mpfr)
endif()
