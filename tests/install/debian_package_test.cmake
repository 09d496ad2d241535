# Makes the Debian package of a built tree in a fresh folder, unpacks it and
# runs the packaged command; the package must hold the command, the libraries,
# headers and CMake package, the Python module, the documentation and the
# copyright file, and depend on what the binaries need.
#
# Inputs (-D): BUILD_DIR, VERSION, PYTHON (empty when the module is not built).

cmake_minimum_required(VERSION 3.16)

function(run_step name)
  execute_process(COMMAND ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name} failed (${status}):\n${output}${errors}")
  endif()
  set(step_output "${output}" PARENT_SCOPE)
endfunction()

string(RANDOM LENGTH 10 tag)
set(work "${BUILD_DIR}/debian-package-test-${tag}")
file(REMOVE_RECURSE "${work}")

# cpack alone (the package target's last step) into the fresh folder, so the
# test leaves no package behind in the build tree.
run_step("cpack" cpack --config "${BUILD_DIR}/CPackConfig.cmake" -B "${work}")
run_step("dpkg --print-architecture" dpkg --print-architecture)
string(STRIP "${step_output}" architecture)
set(package "${work}/vornel_${VERSION}_${architecture}.deb")
if(NOT EXISTS "${package}")
  file(GLOB made "${work}/*.deb")
  message(FATAL_ERROR "no ${package}; made: ${made}")
endif()

run_step("dpkg-deb -x" dpkg-deb -x "${package}" "${work}/root")
run_step("the packaged command" "${work}/root/usr/bin/vornel" --version)
if(NOT step_output MATCHES "${VERSION}")
  message(FATAL_ERROR "vornel --version printed no ${VERSION}:\n${step_output}")
endif()

file(GLOB_RECURSE packaged RELATIVE "${work}/root" "${work}/root/*")
set(expected
  usr/bin/vornel
  usr/include/vornel/pipeline/Vornel.hpp
  usr/include/vornel/core/Errors.hpp
  usr/include/vornel/mesh/LabeledMesh.hpp
  usr/lib/libvornel.a
  usr/lib/libvornel_mesh.a
  usr/lib/cmake/Vornel/VornelConfig.cmake
  usr/lib/cmake/Vornel/VornelTargets.cmake
  usr/share/doc/vornel/README.md
  usr/share/doc/vornel/copyright)
foreach(file ${expected})
  if(NOT file IN_LIST packaged)
    message(FATAL_ERROR "the package lacks ${file}")
  endif()
endforeach()

run_step("dpkg-deb -f" dpkg-deb -f "${package}" Depends)
set(depends "${step_output}")
if(NOT depends MATCHES "libtbb")
  message(FATAL_ERROR "Depends names no oneTBB library: ${depends}")
endif()

if(PYTHON)
  # The module under dist-packages with its stubs, loadable from there alone.
  list(FILTER packaged INCLUDE REGEX "^usr/lib/python3[.0-9]*/dist-packages/vornel")
  list(LENGTH packaged module_files)
  if(NOT module_files EQUAL 2 OR NOT packaged MATCHES "vornel\\.pyi")
    message(FATAL_ERROR "the package should hold the module and vornel.pyi: ${packaged}")
  endif()
  list(GET packaged 0 module)
  get_filename_component(module_dir "${work}/root/${module}" DIRECTORY)
  run_step("import of the packaged module"
    ${PYTHON} -I -B -c "import sys\nsys.path.insert(0, '${module_dir}')\nimport vornel\nprint(vornel.__file__)")
  string(FIND "${step_output}" "${module_dir}/vornel" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "vornel was imported from elsewhere: ${step_output}")
  endif()
  if(NOT depends MATCHES "python3-numpy" OR NOT depends MATCHES "python3 \\(>=")
    message(FATAL_ERROR "Depends lacks Python or NumPy: ${depends}")
  endif()
endif()

file(REMOVE_RECURSE "${work}")
