# CLI11 and nlohmann-json for the Windows build: the header-only Debian
# packages (libcli11-dev, nlohmann-json3-dev), their two folders copied into
# the build tree, so that the cross compiler sees them and nothing else of the
# host's /usr/include (whose C library headers would shadow mingw-w64's).
set(TAVELNOR_HEADER_ONLY_ROOT "/usr/include" CACHE PATH
    "Folder holding the CLI and nlohmann header folders")
set(staged "${PROJECT_BINARY_DIR}/third_party/include")
foreach(folder CLI nlohmann)
  if(NOT EXISTS "${TAVELNOR_HEADER_ONLY_ROOT}/${folder}")
    message(FATAL_ERROR "No ${TAVELNOR_HEADER_ONLY_ROOT}/${folder}: "
                        "run scripts/install-win32-deps.sh (libcli11-dev nlohmann-json3-dev)")
  endif()
  file(REMOVE_RECURSE "${staged}/${folder}")
  file(COPY "${TAVELNOR_HEADER_ONLY_ROOT}/${folder}" DESTINATION "${staged}")
endforeach()
add_library(tavelnor_cli11 INTERFACE)
target_include_directories(tavelnor_cli11 SYSTEM INTERFACE "${staged}")
add_library(CLI11::CLI11 ALIAS tavelnor_cli11)
add_library(tavelnor_nlohmann_json INTERFACE)
target_include_directories(tavelnor_nlohmann_json SYSTEM INTERFACE "${staged}")
add_library(nlohmann_json::nlohmann_json ALIAS tavelnor_nlohmann_json)
