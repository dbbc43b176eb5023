# The Python module (python/): built when BESSEL_PYTHON is on (the default) and Python 3 with its
# headers, pybind11 and numpy are found, on a native POSIX build without the sanitizers (their
# runtime cannot be loaded into a Python that was not started with it). Sets BESSEL_PYTHON_BUILT
# and BESSEL_PYTHON_INSTALL_DIR.
#
# Debian's own /usr/bin/python3 is taken where it is, before any other python3 on PATH (pyenv's,
# a virtual environment's): numpy and pybind11 come from Debian's packages, for that Python.
# -DPython3_EXECUTABLE=... chooses another.
option(BESSEL_PYTHON "Build the Python module where Python 3, pybind11 and numpy are" ON)
set(BESSEL_PYTHON_PACKAGE python3-bessel-recurrence)  # its Debian package
set(BESSEL_PYTHON_BUILT OFF)
if(BESSEL_PYTHON AND NOT WIN32 AND NOT CMAKE_CROSSCOMPILING AND NOT BESSEL_SANITIZE)
  if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3)
  endif()
  find_package(Python3 COMPONENTS Interpreter Development.Module QUIET)
  find_package(pybind11 CONFIG QUIET)
  set(numpy_found 1)
  if(Python3_FOUND)
    execute_process(COMMAND ${Python3_EXECUTABLE} -c "import numpy"
                    RESULT_VARIABLE numpy_found OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(Python3_FOUND AND pybind11_FOUND AND numpy_found EQUAL 0)
    set(BESSEL_PYTHON_BUILT ON)
    # The module is a shared object: the static libraries it takes in, which the programs
    # share, are compiled to be position independent (without interposition, so calls within
    # them stay direct); -DBESSEL_PYTHON=OFF builds the programs without.
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    add_compile_options(-fno-semantic-interposition)
    # Where `cmake --install` puts the package bessel_recurrence/: -DBESSEL_PYTHON_SITE=DIR
    # where given (relative: under the prefix); else for the Debian package Debian's directory
    # for Python 3 modules; else the site directory that Python itself installs local packages
    # into (on Debian /usr/local/lib/python3.X/dist-packages), relative to the prefix where it
    # lies under it, so that --prefix and DESTDIR move it like every other file.
    set(BESSEL_PYTHON_SITE "" CACHE STRING
        "Where the Python package is installed (default: Python's site directory)")
    if(BESSEL_PYTHON_SITE)
      set(python_site ${BESSEL_PYTHON_SITE})
    elseif(BESSEL_DEBIAN_PACKAGE)
      set(python_site lib/python3/dist-packages)
    else()
      execute_process(COMMAND ${Python3_EXECUTABLE} -c
                              "import sysconfig; print(sysconfig.get_path('platlib'))"
                      OUTPUT_VARIABLE python_site OUTPUT_STRIP_TRAILING_WHITESPACE)
      cmake_path(IS_PREFIX CMAKE_INSTALL_PREFIX "${python_site}" NORMALIZE under_prefix)
      if(under_prefix)
        cmake_path(RELATIVE_PATH python_site BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX})
      endif()
    endif()
    set(BESSEL_PYTHON_INSTALL_DIR ${python_site})
  else()
    message(STATUS "Python module: not built (needs Python 3 with its headers, pybind11 "
                   "and numpy: python3-dev, pybind11-dev, python3-numpy)")
  endif()
endif()
