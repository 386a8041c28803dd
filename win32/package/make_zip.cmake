# Makes ZIP (tavelnor-VERSION-win32.zip) holding one folder NAME: FILES (a
# "|"-separated list of files put at its top), the C header under
# include/tavelnor/, and README.txt made from README_IN. Entries carry a fixed
# time, so that the same files give the same archive.
cmake_minimum_required(VERSION 3.25)
foreach(required ZIP NAME FILES HEADER README_IN VERSION)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "make_zip.cmake needs ${required}")
  endif()
endforeach()
get_filename_component(out_dir "${ZIP}" DIRECTORY)
set(stage "${out_dir}/package-stage")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}/${NAME}/include/tavelnor")
string(REPLACE "|" ";" files "${FILES}")
foreach(f IN LISTS files)
  file(COPY "${f}" DESTINATION "${stage}/${NAME}")
endforeach()
file(COPY "${HEADER}" DESTINATION "${stage}/${NAME}/include/tavelnor")
set(PROJECT_VERSION "${VERSION}")
configure_file("${README_IN}" "${stage}/${NAME}/README.txt" @ONLY NEWLINE_STYLE CRLF)
file(REMOVE "${ZIP}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${ZIP}" --format=zip "--mtime=2026-01-01 00:00:00 UTC" "${NAME}"
                WORKING_DIRECTORY "${stage}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot write ${ZIP}")
endif()
file(REMOVE_RECURSE "${stage}")
