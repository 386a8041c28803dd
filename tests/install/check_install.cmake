# Installs the build tree into a scratch prefix, then builds the README's C
# example out of tree against it twice -- with find_package(Tavelnor) and
# with pkg-config -- and runs both on the demo company.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DCOMPANY=...
#         -DC_COMPILER=... [-DEXTRA_FLAGS="..."] -P check_install.cmake
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR COMPANY C_COMPILER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_install.cmake needs -D${var}=...")
  endif()
endforeach()
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(RUN_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(f include/tavelnor/zavl.h share/man/man1/tavelnor.1.gz share/doc/tavelnor/LICENSE bin/tavelnor)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(GLOB sonames ${prefix}/lib*/libtavelnor.so.[0-9]* ${prefix}/lib*/*/libtavelnor.so.[0-9]*)
if(NOT sonames)
  message(FATAL_ERROR "no versioned libtavelnor.so.N under ${prefix}")
endif()

# The README's C example, as the README shows it.
file(READ ${SOURCE_DIR}/README.md readme)
string(FIND "${readme}" "```c\n" start)
if(start LESS 0)
  message(FATAL_ERROR "README.md has no C example")
endif()
math(EXPR start "${start} + 5")
string(SUBSTRING "${readme}" ${start} -1 rest)
string(FIND "${rest}" "```" stop)
string(SUBSTRING "${rest}" 0 ${stop} example)
file(WRITE ${WORK_DIR}/readme_example.c "${example}")

function(check_runs program how)
  execute_process(COMMAND ${program} WORKING_DIRECTORY ${COMPANY} RESULT_VARIABLE rc
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "C0001.*records in the range")
    message(FATAL_ERROR "the example built with ${how} failed (${rc}):\n${out}\n${err}")
  endif()
endfunction()

# With CMake's package.
string(JOIN " " flags ${extra})
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/consumer -B ${WORK_DIR}/with-cmake
    -DCMAKE_PREFIX_PATH=${prefix} -DEXAMPLE=${WORK_DIR}/readme_example.c
    -DCMAKE_C_COMPILER=${C_COMPILER} "-DCMAKE_C_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/with-cmake)
check_runs(${WORK_DIR}/with-cmake/readme_example "find_package(Tavelnor)")

# With pkg-config.
file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib*/*/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "${pc_dirs}")
run(pkg-config --cflags --libs tavelnor)
separate_arguments(pc_flags UNIX_COMMAND "${RUN_OUTPUT}")
run(pkg-config --variable=libdir tavelnor)
string(STRIP "${RUN_OUTPUT}" libdir)
run(${C_COMPILER} ${extra} ${WORK_DIR}/readme_example.c ${pc_flags} -Wl,-rpath,${libdir}
    -o ${WORK_DIR}/readme_example_pc)
check_runs(${WORK_DIR}/readme_example_pc "pkg-config")
