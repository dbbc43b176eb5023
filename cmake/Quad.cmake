# binary128 support: a target whose long double is binary128 needs nothing more; elsewhere
# GCC's __float128 comes with libquadmath (part of GCC) for its decimal digits.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("
  #include <cfloat>
  static_assert(LDBL_MANT_DIG == 113);
  int main() { return 0; }" BESSEL_LONG_DOUBLE_IS_BINARY128)

add_library(quad_support INTERFACE)
if(NOT BESSEL_LONG_DOUBLE_IS_BINARY128)
  if(BESSEL_STANDALONE)
    # The archive, so that the executable needs no libquadmath where it is copied to.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libquadmath.a
                    OUTPUT_VARIABLE quadmath_archive OUTPUT_STRIP_TRAILING_WHITESPACE)
    target_link_libraries(quad_support INTERFACE ${quadmath_archive})
  else()
    target_link_libraries(quad_support INTERFACE quadmath)
  endif()
endif()
