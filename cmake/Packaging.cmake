# The Debian package, made by CPack from the install rules (scripts/package):
# bessel-recurrence_X.Y.Z-1_ARCH.deb, installed under /usr.
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
the error growth that theory predicts. It is meant for teaching and studying
numerical error.")
include(CPack)
