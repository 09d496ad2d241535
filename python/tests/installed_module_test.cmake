# Installs the python component into a fresh prefix and imports the module
# from there with a clean interpreter: the module and its stubs must be there,
# and the module must load without the build tree.

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  --component python RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmake --install of the python component failed")
endif()
set(folder ${PREFIX}/${MODULE_DIR})
if(NOT EXISTS ${folder}/vornel.pyi)
  message(FATAL_ERROR "no vornel.pyi in ${folder}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${folder} PYTHONDONTWRITEBYTECODE=1
    ${PYTHON} -c "import vornel, os; print(os.path.realpath(vornel.__file__)); print(vornel.__version__)"
  WORKING_DIRECTORY ${PREFIX}
  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(failed)
  message(FATAL_ERROR "importing the installed module failed:\n${errors}")
endif()
get_filename_component(real_folder ${folder} REALPATH)
string(FIND "${output}" "${real_folder}/vornel" at)
if(NOT at EQUAL 0)
  message(FATAL_ERROR "vornel was imported from elsewhere:\n${output}")
endif()
file(REMOVE_RECURSE ${PREFIX})
