"""Builds Quendle's shared matrix library with CMake and puts it inside the
package: `pip install --no-build-isolation ./python` needs CMake and a C++
compiler, nothing from a package index. The source tree is this folder's
parent (or QUENDLE_SOURCE_DIR); the version is its CMake project's, which
the package also carries as quendle.__version__ (quendle/_version.py, written
here)."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

HERE = Path(__file__).resolve().parent
SOURCE = Path(os.environ.get("QUENDLE_SOURCE_DIR", HERE.parent)).resolve()


def project_version():
    text = (SOURCE / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"project\(\s*quendle\s+VERSION\s+([0-9.]+)", text)
    if not found:
        sys.exit(f"no project(quendle VERSION ...) in {SOURCE / 'CMakeLists.txt'}")
    return found.group(1)


class build_with_library(build_py):
    """The Python sources, and the shared library beside them."""

    def run(self):
        super().run()
        tree = Path(os.environ.get("QUENDLE_CMAKE_BUILD_DIR", HERE / "build" / "cmake"))
        configure = [
            "cmake", "-S", str(SOURCE), "-B", str(tree),
            "-DCMAKE_BUILD_TYPE=Release", "-DBUILD_SHARED_LIBS=ON",
            "-DQUENDLE_BUILD_PROGRAMS=OFF", "-DQUENDLE_BUILD_TESTS=OFF",
            "-DQUENDLE_BUILD_FUZZ=OFF", "-DQUENDLE_INSTALL=OFF",
        ]
        subprocess.check_call(configure)
        subprocess.check_call(["cmake", "--build", str(tree), "--target", "mtrx",
                               "--parallel", str(os.cpu_count() or 2)])
        names = ["mtrx.dll"] if sys.platform == "win32" else ["libmtrx.so.0", "libmtrx.0.dylib"]
        found = [p for name in names for p in tree.rglob(name)]
        if not found:
            sys.exit(f"the shared library ({' or '.join(names)}) is not in {tree}")
        target = Path(self.build_lib) / "quendle"
        target.mkdir(parents=True, exist_ok=True)
        # quendle.__version__: the CMake project's version, as the package's.
        (target / "_version.py").write_text(f'__version__ = "{project_version()}"\n',
                                            encoding="utf-8")
        # (the soname's link resolved: the package holds the file itself)
        shutil.copyfile(found[0].resolve(), target / found[0].name)


class binary_distribution(Distribution):
    """A wheel for this platform: it holds a compiled library."""

    def has_ext_modules(self):
        return True


setup(
    version=project_version(),
    cmdclass={"build_py": build_with_library},
    distclass=binary_distribution,
)
