# binary128 support: a target whose long double is binary128 needs nothing;
# elsewhere GCC's __float128 comes with libquadmath for its decimal digits.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("
  #include <cfloat>
  static_assert(LDBL_MANT_DIG == 113);
  int main() { return 0; }" BESSEL_LONG_DOUBLE_IS_BINARY128)

add_library(quad_support INTERFACE)
if(NOT BESSEL_LONG_DOUBLE_IS_BINARY128)
  find_library(QUADMATH_LIBRARY NAMES quadmath libquadmath.a
               HINTS ${CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES})
  if(NOT QUADMATH_LIBRARY)
    message(FATAL_ERROR "binary128 needs libquadmath on this target (GCC's libquadmath)")
  endif()
  target_link_libraries(quad_support INTERFACE ${QUADMATH_LIBRARY})
endif()
