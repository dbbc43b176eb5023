# binary128 support: a target whose long double is binary128 needs nothing more; elsewhere
# GCC's __float128 comes with libquadmath (part of GCC) for its decimal digits.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("
  #include <cfloat>
  static_assert(LDBL_MANT_DIG == 113);
  int main() { return 0; }" BESSEL_LONG_DOUBLE_IS_BINARY128)

add_library(quad_support INTERFACE)
if(NOT BESSEL_LONG_DOUBLE_IS_BINARY128)
  target_link_libraries(quad_support INTERFACE quadmath)
endif()
