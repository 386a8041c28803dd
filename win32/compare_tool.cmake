# Runs one command of the tavelnor tool twice, natively (HOST_TOOL) and as
# tavelnor.exe under Wine (WINE_RUN TOOL_EXE), and checks that both write the
# same bytes, once each one's spelling of the data and output folders is put
# back to a common one.
#
#   ARGS          the command's arguments, "|"-separated; @DATA@ stands for
#                 the data folder and @OUT@ for the output folder, each in the
#                 spelling of the tool that runs (Wine's Z: drive for Windows;
#                 "@DATA@/NAME" takes a backslash there)
#   DATA_DIR      the folder holding the demo company
#   COPY_TO       when set, DATA_DIR is first copied there and read from there
#                 (a folder with a name outside ASCII, say)
#   WORK_DIR      this test's own folder, emptied first
#   EXPECT_EXIT   the exit status both must end with (default 0)
#   EXPECT_STDERR when set, a regular expression the Windows tool's standard
#                 error must match (paths in Windows spelling)
#   COMPARE_OUT   when set, the files both wrote into @OUT@ are compared too:
#                 byte for byte, SQLite databases through SQLITE3's ".dump"
#                 (the file header records the SQLite version that wrote it)
cmake_minimum_required(VERSION 3.25)
foreach(required HOST_TOOL WINE_RUN TOOL_EXE ARGS DATA_DIR WORK_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "compare_tool.cmake needs ${required}")
  endif()
endforeach()
if(NOT DEFINED EXPECT_EXIT)
  set(EXPECT_EXIT 0)
endif()

function(windows_spelling out path)
  string(REPLACE "/" "\\" p "${path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
if(COPY_TO)
  file(REMOVE_RECURSE "${COPY_TO}")
  file(COPY "${DATA_DIR}/" DESTINATION "${COPY_TO}")
  set(DATA_DIR "${COPY_TO}")
endif()

# Each side's arguments, output folder and standard streams.
set(sides native windows)
set(native_data "${DATA_DIR}")
set(native_out "${WORK_DIR}/native")
windows_spelling(windows_data "${DATA_DIR}")
windows_spelling(windows_out "${WORK_DIR}/windows")
set(native_command "${HOST_TOOL}")
set(windows_command "${WINE_RUN}" "${TOOL_EXE}")
foreach(side IN LISTS sides)
  set(args "${ARGS}")
  if(side STREQUAL "windows")
    string(REPLACE "@DATA@/" "${windows_data}\\" args "${args}")
    string(REPLACE "@OUT@/" "${windows_out}\\" args "${args}")
  endif()
  string(REPLACE "@DATA@" "${${side}_data}" args "${args}")
  string(REPLACE "@OUT@" "${${side}_out}" args "${args}")
  string(REPLACE "|" ";" args "${args}")
  execute_process(COMMAND ${${side}_command} ${args}
                  OUTPUT_FILE "${WORK_DIR}/${side}.stdout" ERROR_FILE "${WORK_DIR}/${side}.stderr"
                  RESULT_VARIABLE rc)
  file(READ "${WORK_DIR}/${side}.stderr" err)
  if(NOT rc STREQUAL EXPECT_EXIT)
    message(FATAL_ERROR "${side} tool: exit ${rc}, wanted ${EXPECT_EXIT}\n${err}")
  endif()
endforeach()
if(DEFINED EXPECT_STDERR)
  file(READ "${WORK_DIR}/windows.stderr" err)
  if(NOT err MATCHES "${EXPECT_STDERR}")
    message(FATAL_ERROR "standard error of tavelnor.exe:\n${err}\ndoes not match ${EXPECT_STDERR}")
  endif()
endif()

# The two files, byte for byte, once the Windows tool's spelling of each
# folder is replaced by the native one ("<folder>\NAME" by "<folder>/NAME").
# Compared in hexadecimal: file(READ) as text would drop carriage returns.
function(compare_texts what native_file windows_file)
  file(READ "${native_file}" a HEX)
  file(READ "${windows_file}" b HEX)
  foreach(folder out data)
    string(HEX "${windows_${folder}}\\" from)
    string(HEX "${native_${folder}}/" to)
    string(REPLACE "${from}" "${to}" b "${b}")
    string(HEX "${windows_${folder}}" from)
    string(HEX "${native_${folder}}" to)
    string(REPLACE "${from}" "${to}" b "${b}")
  endforeach()
  if(NOT a STREQUAL b)
    set(shown "")
    find_program(DIFF diff)
    if(DIFF)
      execute_process(COMMAND ${DIFF} -u --text "${native_file}" "${windows_file}" OUTPUT_VARIABLE shown)
      string(SUBSTRING "${shown}" 0 3000 shown)
    endif()
    message(FATAL_ERROR "${what}: the Windows tool's differs from the native tool's "
                        "(beyond the folders' spelling)\n${shown}")
  endif()
endfunction()

compare_texts("standard output" "${WORK_DIR}/native.stdout" "${WORK_DIR}/windows.stdout")

if(COMPARE_OUT)
  file(GLOB_RECURSE native_files RELATIVE "${native_out}" "${native_out}/*")
  file(GLOB_RECURSE windows_files RELATIVE "${WORK_DIR}/windows" "${WORK_DIR}/windows/*")
  list(SORT native_files)
  list(SORT windows_files)
  if(NOT native_files STREQUAL windows_files)
    message(FATAL_ERROR "files written:\n  native:  ${native_files}\n  windows: ${windows_files}")
  endif()
  if(NOT native_files)
    message(FATAL_ERROR "the export wrote no file")
  endif()
  foreach(name IN LISTS native_files)
    set(a "${native_out}/${name}")
    set(b "${WORK_DIR}/windows/${name}")
    if(name MATCHES "\\.sqlite$")
      if(NOT SQLITE3)
        message(FATAL_ERROR "no sqlite3 program to compare ${name}")
      endif()
      execute_process(COMMAND ${SQLITE3} "${a}" .dump OUTPUT_FILE "${WORK_DIR}/native.sql" RESULT_VARIABLE rc1)
      execute_process(COMMAND ${SQLITE3} "${b}" .dump OUTPUT_FILE "${WORK_DIR}/windows.sql" RESULT_VARIABLE rc2)
      if(NOT rc1 EQUAL 0 OR NOT rc2 EQUAL 0)
        message(FATAL_ERROR "${name}: sqlite3 cannot read it")
      endif()
      compare_texts("${name}" "${WORK_DIR}/native.sql" "${WORK_DIR}/windows.sql")
    else()
      execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${a}" "${b}" RESULT_VARIABLE same)
      if(NOT same EQUAL 0)
        message(FATAL_ERROR "${name}: the Windows tool wrote other bytes than the native tool")
      endif()
    endif()
  endforeach()
  list(LENGTH native_files count)
  message(STATUS "${count} files alike")
endif()
