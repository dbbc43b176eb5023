"""Builds the module bessel_recurrence for pip: its Python face from python/bessel_recurrence/,
its C++ core _lab by the project's own CMake (the target _lab, for the Python that runs this),
and the version from CMakeLists.txt's project(), the project's one version.
"""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def project_version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"^project\(bessel-recurrence VERSION ([0-9.]+)", text, re.MULTILINE)
    if match is None:
        raise RuntimeError("CMakeLists.txt names no project version")
    return match.group(1)


class CMakeBuild(build_ext):
    """The extension built by CMake in a build folder of its own for each Python, then copied
    where setuptools puts the extension."""

    def build_extension(self, ext: Extension) -> None:
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja",
            "-DCMAKE_BUILD_TYPE=Release", "-DBESSEL_TESTS=OFF", "-DBESSEL_PYTHON=ON",
            f"-DPython3_EXECUTABLE={sys.executable}",
        ]
        subprocess.run(configure, check=True)
        jobs = ["--parallel", str(os.cpu_count() or 1)]
        subprocess.run(["cmake", "--build", str(build), "--target", "_lab", *jobs], check=True)
        built = sorted((build / "python" / "bessel_recurrence").glob("_lab*.so"))
        if not built:
            raise RuntimeError(
                f"CMake did not build the module for {sys.executable}: it needs this Python's "
                "headers, pybind11 and numpy (see CMake's messages above)")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


# setuptools' own records (egg-info) go beside its build, not into the source tree.
(ROOT / "build-python").mkdir(exist_ok=True)

setup(
    version=project_version(),
    packages=["bessel_recurrence"],
    package_dir={"": "python"},
    package_data={"bessel_recurrence": ["py.typed", "*.pyi"]},
    ext_modules=[Extension("bessel_recurrence._lab", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": "build-python"}, "egg_info": {"egg_base": "build-python"}},
    zip_safe=False,
)
