# binary128, from the first of these the target has: long double where it already is binary128;
# GCC's __float128 with libquadmath; GNU MPFR emulating it exactly. -DBESSEL_QUAD=mpfr forces
# MPFR on any target; a forced choice the target cannot give is refused here.
set(BESSEL_QUAD auto CACHE STRING "binary128 backend: auto, long-double, float128 or mpfr")
set_property(CACHE BESSEL_QUAD PROPERTY STRINGS auto long-double float128 mpfr)

include(${CMAKE_CURRENT_LIST_DIR}/Mpfr.cmake)
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("
  #include <cfloat>
  static_assert(LDBL_MANT_DIG == 113);
  int main() { return 0; }" BESSEL_LONG_DOUBLE_IS_BINARY128)
set(CMAKE_REQUIRED_LIBRARIES quadmath)
check_cxx_source_compiles("
  #include <quadmath.h>
  int main() { char text[64]; __float128 x = 1; return quadmath_snprintf(text, 64, \"%Qe\", x) < 0; }"
  BESSEL_HAS_FLOAT128)
unset(CMAKE_REQUIRED_LIBRARIES)

# The one choice: checked here, passed to the code as BESSEL_QUAD_<BACKEND> and as the backend's
# own source file (numeric/quad_<backend>.cpp), and checked again by numeric/precision.hpp.
set(quad_backend ${BESSEL_QUAD})
if(quad_backend STREQUAL "auto")
  if(BESSEL_LONG_DOUBLE_IS_BINARY128)
    set(quad_backend long-double)
  elseif(BESSEL_HAS_FLOAT128)
    set(quad_backend float128)
  else()
    set(quad_backend mpfr)
  endif()
elseif(quad_backend STREQUAL "long-double" AND NOT BESSEL_LONG_DOUBLE_IS_BINARY128)
  message(FATAL_ERROR "BESSEL_QUAD=long-double: long double is not IEEE binary128 on this target")
elseif(quad_backend STREQUAL "float128" AND NOT BESSEL_HAS_FLOAT128)
  message(FATAL_ERROR "BESSEL_QUAD=float128: this target has no __float128 with libquadmath")
elseif(NOT quad_backend MATCHES "^(long-double|float128|mpfr)$")
  message(FATAL_ERROR "BESSEL_QUAD must be auto, long-double, float128 or mpfr")
endif()
if(quad_backend STREQUAL "mpfr" AND NOT TARGET gnu_mpfr)
  message(FATAL_ERROR "binary128 in software needs GNU MPFR for the target (libmpfr-dev)")
endif()
message(STATUS "binary128: ${quad_backend}")
string(REPLACE "-" "_" BESSEL_QUAD_BACKEND ${quad_backend})
string(TOUPPER ${BESSEL_QUAD_BACKEND} quad_macro)

add_library(quad_support INTERFACE)
target_compile_definitions(quad_support INTERFACE BESSEL_QUAD_${quad_macro})
if(quad_backend STREQUAL "mpfr")
  target_link_libraries(quad_support INTERFACE ieee)
elseif(quad_backend STREQUAL "float128")
  if(BESSEL_STANDALONE)
    # The archive, so that the executable needs no libquadmath where it is copied to.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libquadmath.a
                    OUTPUT_VARIABLE quadmath_archive OUTPUT_STRIP_TRAILING_WHITESPACE)
    target_link_libraries(quad_support INTERFACE ${quadmath_archive})
  else()
    target_link_libraries(quad_support INTERFACE quadmath)
  endif()
endif()
