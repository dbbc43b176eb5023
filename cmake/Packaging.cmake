# The Debian packages, made by CPack from the install rules (scripts/package), installed under
# /usr: bessel-recurrence_X.Y.Z-1_ARCH.deb, the programs, and where the Python module is built,
# python3-bessel-recurrence_X.Y.Z-1_ARCH.deb, the module (install component "python").
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bessel-recurrence)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT
    "the bessel-recurrence authors <maintainers@users.noreply.c-seed-8da89f11.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS gnuplot-nox)  # bessel-recurrence-plot draws with it
# The first line is the synopsis; CPack indents the lines after it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "shows how the forward Bessel recurrence loses the digits of its seeds
bessel-recurrence sums the power series of the Bessel functions J_m(1),
m = 0 ... 10, in IEEE binary32, binary64 and binary128, seeds the forward
recurrence J_(m+1) = 2m J_m - J_(m-1) with each precision's J_0 and J_1, and
writes three tables of recurrence values, series values and relative errors.
Every printed digit is the exact binary value, correctly rounded, the same on
every machine. bessel-recurrence-plot draws the tables as one picture, with
the error growth that theory predicts. bessel-recurrence-lab varies the
experiment: any argument, order, IEEE format and Bessel function, with the
theory and Miller's cure; bessel-recurrence-web serves it to a class's web
browsers. It is meant for teaching and studying numerical error.")
if(BESSEL_PYTHON_BUILT)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Unspecified python)
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME bessel-recurrence)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME ${BESSEL_PYTHON_PACKAGE})
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # The module is built for this Python's ABI, and imports numpy.
  math(EXPR Python3_VERSION_NEXT "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), python3 (<< ${Python3_VERSION_MAJOR}.${Python3_VERSION_NEXT}), python3-numpy")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS python3-matplotlib)
  set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION
      "Python module of bessel-recurrence's laboratory
The module bessel_recurrence runs the laboratory of bessel-recurrence from
Python: the forward recurrence of a Bessel function from the seeds of any
IEEE binary format, its relative errors measured against a proven truth and
predicted by theory, and Miller's backward recurrence, as numpy arrays, with
every digit the one the program bessel-recurrence-lab prints; and round_to,
which rounds float64 values correctly into any of the formats.")
endif()
include(CPack)
