# pip install of a copy of the source tree into a fresh virtual environment,
# offline and from the system's packages, as a user on Debian does it; then,
# from outside the tree, the module (with its stubs) is imported and the
# command is run from the environment's bin/.
#
# Inputs (-D): SOURCE_DIR, BUILD_DIR, PYTHON.

function(run_step name)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${work}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name} failed (${status}):\n${output}${errors}")
  endif()
  set(step_output "${output}" PARENT_SCOPE)
endfunction()

string(RANDOM LENGTH 10 tag)
set(work "${BUILD_DIR}/pip-install-test-${tag}")
set(tree "${work}/tree")
set(venv "${work}/venv")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${tree}")

# The tree without build folders or outputs: what a fresh checkout holds.
file(GLOB entries LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
list(FILTER entries EXCLUDE REGEX "^(\\.git|build.*|example|fuzz-out|.*\\.egg-info)$")
foreach(entry ${entries})
  file(COPY "${SOURCE_DIR}/${entry}" DESTINATION "${tree}")
endforeach()

run_step("venv" ${PYTHON} -m venv --system-site-packages "${venv}")
run_step("pip install" ${CMAKE_COMMAND} -E env PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_CACHE_DIR=1
  "${venv}/bin/pip" install --no-build-isolation --no-index "${tree}")

# Outside the tree: the module and its stubs come from the environment. (No
# semicolons in the code: CMake would split it into arguments there.)
run_step("import of the installed module" "${venv}/bin/python" -B -c
  "import os, vornel\nprint(vornel.__file__)\nprint(os.path.isfile(os.path.join(os.path.dirname(vornel.__file__), 'vornel.pyi')))")
string(FIND "${step_output}" "${venv}/lib/" at)
if(NOT at EQUAL 0 OR NOT step_output MATCHES "\nTrue\n")
  message(FATAL_ERROR "the module or its stubs are not in the environment:\n${step_output}")
endif()

# The command, on a square of two triangles with two clearly apart values.
file(WRITE "${work}/square.off" "OFF\n4 2 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 3 2\n")
file(WRITE "${work}/square_attribute.att" "0\n0\n5\n5\n")
run_step("the installed command" "${venv}/bin/vornel" square.off 2 0 0 --seed 1)
file(READ "${work}/square_labels.lb" labels)
if(NOT labels STREQUAL "2 \t0 \t0 \t1 \t1 \t")
  message(FATAL_ERROR "unexpected labels from the installed command: '${labels}'")
endif()

file(REMOVE_RECURSE "${work}")
