"""pip install . : CMake builds the module and the command, setuptools installs them.

setuptools (Debian's python3-setuptools) drives CMake because the CMake-native
backends are not packaged in Debian 12, and the install must work offline from
Debian's packages alone. The module and its stubs go to the environment's
site-packages, the command to its bin/.
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
import sysconfig
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE_DIR = Path(__file__).resolve().parent
# One folder deep, like a build/ made by hand: ccache then sees the same
# relative paths and flags, and reuses that build's objects.
CMAKE_BUILD_DIR = "build-pip"
COMMAND = f"{CMAKE_BUILD_DIR}/vornel"


def project_version():
    text = (SOURCE_DIR / "CMakeLists.txt").read_text()
    return re.search(r"project\(Vornel VERSION ([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    """The module as a CMake target: setuptools compiles nothing itself."""

    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    """Configures once, then builds only what the package holds."""

    @staticmethod
    def configure_command(build_dir, ccache, environment):
        command = [
            "cmake", "-S", str(SOURCE_DIR), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DVORNEL_BUILD_TESTS=OFF",
            "-DVORNEL_BUILD_BENCHMARKS=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}",
        ]
        if ccache:
            command.append(f"-DCMAKE_CXX_COMPILER_LAUNCHER={ccache}")
        return command + shlex.split(environment.get("CMAKE_ARGS", ""))

    def build_extension(self, ext):
        build_dir = SOURCE_DIR / CMAKE_BUILD_DIR
        # An already configured build folder (VORNEL_CMAKE_BUILD_DIR) is
        # brought up to date and packaged instead, reusing its objects.
        existing = os.environ.get("VORNEL_CMAKE_BUILD_DIR")
        built_in = Path(existing).resolve() if existing else build_dir
        environment = dict(os.environ)
        ccache = shutil.which("ccache")
        if ccache:
            # The libraries compile with a precompiled header, which ccache
            # only caches with this sloppiness.
            environment.setdefault("CCACHE_SLOPPINESS", "pch_defines,time_macros")
        if not existing:
            subprocess.run(self.configure_command(build_dir, ccache, environment), check=True,
                           env=environment)
        jobs = str(self.parallel or os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(built_in), "-j", jobs,
                        "--target", "vornel_python", "vornel_cli"], check=True, env=environment)
        if existing:
            build_dir.mkdir(exist_ok=True)
            shutil.copy2(built_in / "vornel", SOURCE_DIR / COMMAND)

        module = Path(self.get_ext_fullpath(ext.name))
        module.parent.mkdir(parents=True, exist_ok=True)
        built = built_in / "python" / f"vornel{sysconfig.get_config_var('EXT_SUFFIX')}"
        shutil.copyfile(built, module)
        shutil.copymode(built, module)
        # The stubs lie beside the module, where type checkers look for them.
        shutil.copyfile(SOURCE_DIR / "python" / "vornel.pyi", module.parent / "vornel.pyi")


setup(
    version=project_version(),
    ext_modules=[CMakeExtension("vornel")],
    cmdclass={"build_ext": CMakeBuild},
    # The command is a compiled program, not a script: installed as data into
    # the environment's bin/, keeping its executable mode.
    data_files=[("bin", [COMMAND])],
    zip_safe=False,
)
