# Installs the build tree into a fresh prefix, then configures, builds and runs
# the example consumer against that prefix alone.
#
# Inputs (-D): BUILD_DIR, SOURCE_DIR, GENERATOR, BUILD_TYPE, CXX_COMPILER,
# CGAL_DIR (may be empty), SANITIZE (ON/OFF).

foreach(required BUILD_DIR SOURCE_DIR GENERATOR CXX_COMPILER)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "consumer_test.cmake needs -D${required}=...")
  endif()
endforeach()

function(run_step name)
  execute_process(COMMAND ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name} failed (${status}):\n${output}")
  endif()
  message(STATUS "${name}: done")
  set(step_output "${output}" PARENT_SCOPE)
endfunction()

# A name of its own, so that runs in parallel or of other build trees never meet.
string(RANDOM LENGTH 10 tag)
set(work "${BUILD_DIR}/consumer-test-${tag}")
set(prefix "${work}/prefix")
set(consumer_build "${work}/build")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

# The installed files must exist: bring the libraries and the command up to date
# (nothing to do after a full build).
set(config_args)
if(BUILD_TYPE)
  set(config_args --config ${BUILD_TYPE})
endif()
run_step("build of the installed targets"
  ${CMAKE_COMMAND} --build "${BUILD_DIR}" --target vornel_cli ${config_args})
run_step("install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}" ${config_args})

foreach(installed include/vornel/pipeline/Vornel.hpp include/vornel/core/Errors.hpp bin/vornel)
  if(NOT EXISTS "${prefix}/${installed}")
    message(FATAL_ERROR "install did not place ${installed} under ${prefix}")
  endif()
endforeach()

set(configure_args
  -S "${SOURCE_DIR}/examples/consumer" -B "${consumer_build}" -G "${GENERATOR}"
  -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  -DCGAL_DO_NOT_WARN_ABOUT_CMAKE_BUILD_TYPE=TRUE
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
if(BUILD_TYPE)
  list(APPEND configure_args -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
endif()
if(CGAL_DIR)
  list(APPEND configure_args -DCGAL_DIR=${CGAL_DIR})
endif()
if(SANITIZE)
  # The installed libraries carry the sanitizer instrumentation; the consumer
  # must be built and linked the same way.
  list(APPEND configure_args
    "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-omit-frame-pointer"
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
endif()
run_step("configure of the consumer" ${CMAKE_COMMAND} ${configure_args})

# The package must come from the fresh prefix, not from anywhere else.
file(STRINGS "${consumer_build}/CMakeCache.txt" found_at REGEX "^Vornel_DIR:")
string(FIND "${found_at}" "${prefix}/" position)
if(position EQUAL -1)
  message(FATAL_ERROR "the consumer found the package elsewhere: ${found_at}")
endif()

run_step("build of the consumer"
  ${CMAKE_COMMAND} --build "${consumer_build}" ${config_args} -j 2)

find_program(consumer vornel_consumer
  PATHS "${consumer_build}" "${consumer_build}/${BUILD_TYPE}" NO_DEFAULT_PATH)
if(NOT consumer)
  message(FATAL_ERROR "the consumer was not built in ${consumer_build}")
endif()
run_step("run of the consumer" "${consumer}")
message("${step_output}")
if(NOT step_output MATCHES "class 0: [0-9]+ vertices" OR NOT step_output MATCHES "class 1:")
  message(FATAL_ERROR "the consumer printed no class sizes")
endif()

file(REMOVE_RECURSE "${work}")
