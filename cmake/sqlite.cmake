# SQLite as a static library, compiled from the amalgamation that
# scripts/fetch-sqlite generates from Debian's source package. The repository
# holds no copy of SQLite.
set(VELTRANE_SQLITE_DIR "${CMAKE_BINARY_DIR}/../third_party/sqlite" CACHE PATH
    "Folder with sqlite3.c and sqlite3.h")
get_filename_component(VELTRANE_SQLITE_DIR "${VELTRANE_SQLITE_DIR}" ABSOLUTE)
if(NOT EXISTS "${VELTRANE_SQLITE_DIR}/sqlite3.c" OR NOT EXISTS "${VELTRANE_SQLITE_DIR}/sqlite3.h")
    message(FATAL_ERROR "SQLite's amalgamation is missing from ${VELTRANE_SQLITE_DIR}: "
                        "run scripts/setup (or scripts/fetch-sqlite)")
endif()

add_library(veltrane_sqlite STATIC "${VELTRANE_SQLITE_DIR}/sqlite3.c")
target_include_directories(veltrane_sqlite SYSTEM PUBLIC "${VELTRANE_SQLITE_DIR}")
# No extension loading: the program opens other programs' files and never
# needs code from them. Threads: one worker per database at a time, but the
# library stays safe if two ever meet.
target_compile_definitions(veltrane_sqlite PUBLIC
    SQLITE_OMIT_LOAD_EXTENSION SQLITE_THREADSAFE=1 SQLITE_DEFAULT_MEMSTATUS=0)
target_compile_options(veltrane_sqlite PRIVATE -w)
set_target_properties(veltrane_sqlite PROPERTIES C_STANDARD 99)
