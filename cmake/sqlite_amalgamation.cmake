# SQLite for the Windows build, compiled in statically from the amalgamation
# that scripts/fetch-sqlite-amalgamation.sh unpacks (a pinned npm package that
# ships it; the version is recorded in win32/README.md and in that script).
set(TAVELNOR_SQLITE_DIR "${PROJECT_SOURCE_DIR}/build/third_party/sqlite" CACHE PATH
    "Folder holding sqlite3.c and sqlite3.h")
if(NOT EXISTS "${TAVELNOR_SQLITE_DIR}/sqlite3.c")
  message(FATAL_ERROR "No SQLite amalgamation in ${TAVELNOR_SQLITE_DIR}: "
                      "run scripts/fetch-sqlite-amalgamation.sh first")
endif()
add_library(tavelnor_sqlite3 STATIC "${TAVELNOR_SQLITE_DIR}/sqlite3.c")
target_include_directories(tavelnor_sqlite3 SYSTEM PUBLIC "${TAVELNOR_SQLITE_DIR}")
target_compile_definitions(tavelnor_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_DQS=0
                           SQLITE_DEFAULT_MEMSTATUS=0 SQLITE_OMIT_LOAD_EXTENSION)
add_library(SQLite::SQLite3 ALIAS tavelnor_sqlite3)
