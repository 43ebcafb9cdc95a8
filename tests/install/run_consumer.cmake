# What a user meets after cmake --install, with LD_LIBRARY_PATH unset:
# - the build under test (BUILD_DIR) is installed into a fresh prefix and its program runs;
# - the other library kind (static for a shared build and the reverse) is configured here
#   with the libraries only, built and installed into a second prefix;
# - against each prefix, a consumer with the namespaced include form and one with the bare
#   form are built through find_package and through pkg-config, and run.
#
# Arguments: BUILD_DIR, SHARED (the kind of BUILD_DIR), PROGRAM (whether it builds the
# program), VERSION, PROJECT_DIR, CONSUMER_DIR, WORK_DIR, GENERATOR, CC, CXX, LIBDIR,
# EXTERNAL_NBUTILS.
unset(ENV{LD_LIBRARY_PATH})
# The other kind's build tree is kept between runs, so a rerun only rebuilds what changed.
set(other_build ${WORK_DIR}/other-build)
file(GLOB _old LIST_DIRECTORIES true ${WORK_DIR}/*)
list(REMOVE_ITEM _old ${other_build})
if(_old)
  file(REMOVE_RECURSE ${_old})
endif()
find_program(PKG_CONFIG pkg-config)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "command failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_output pattern)
  run(${ARGN})
  if(NOT last_output MATCHES "${pattern}")
    message(FATAL_ERROR "unexpected output of ${ARGN}: ${last_output}")
  endif()
endfunction()

# Builds and runs both consumers against the install tree at <prefix>.
function(check_consumers prefix shared)
  set(work ${prefix}-consumers)
  run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${work} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${prefix})
  run(${CMAKE_COMMAND} --build ${work})
  expect_output("consumer ok" ${work}/bare_includes)
  expect_output("consumer ok" ${work}/namespaced_includes)

  if(NOT PKG_CONFIG)
    message(STATUS "pkg-config not found: the pkg-config consumers are not built")
    return()
  endif()
  set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
  set(pc_args --cflags --libs tsforge)
  if(NOT shared)
    list(PREPEND pc_args --static)
  endif()
  run(${PKG_CONFIG} ${pc_args})
  separate_arguments(flags UNIX_COMMAND "${last_output}")
  # The same link options as the CMake consumers (see consumer/CMakeLists.txt).
  foreach(name bare_includes namespaced_includes)
    run(${CXX} -std=c++17 ${CONSUMER_DIR}/${name}.cpp -o ${work}/${name}_pc
        -Wl,--as-needed -Wl,--enable-new-dtags ${flags} -Wl,-rpath,${prefix}/${LIBDIR})
    expect_output("consumer ok" ${work}/${name}_pc)
  endforeach()
endfunction()

set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
if(PROGRAM)
  expect_output("^tsforge ${VERSION}\n$" ${prefix}/bin/tsforge --version)
endif()
check_consumers(${prefix} ${SHARED})

if(SHARED)
  set(other_shared OFF)
else()
  set(other_shared ON)
endif()
# Only the packaging is under test here: unoptimised, the libraries build in half the time.
run(${CMAKE_COMMAND} -S ${PROJECT_DIR} -B ${other_build} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Debug
    -DCMAKE_C_FLAGS_DEBUG=-O0 -DCMAKE_CXX_FLAGS_DEBUG=-O0 -DCMAKE_C_COMPILER=${CC}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_INSTALL_LIBDIR=${LIBDIR}
    -DBUILD_SHARED_LIBS=${other_shared} -DTSFORGE_EXTERNAL_NBUTILS=${EXTERNAL_NBUTILS}
    -DTSFORGE_BUILD_TESTS=OFF -DTSFORGE_BUILD_TOOLS=OFF)
run(${CMAKE_COMMAND} --build ${other_build} --parallel 2)
set(other_prefix ${WORK_DIR}/other-prefix)
run(${CMAKE_COMMAND} --install ${other_build} --prefix ${other_prefix})
check_consumers(${other_prefix} ${other_shared})
