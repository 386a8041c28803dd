# Cross-compiling the 32-bit Windows DLLs with Debian's mingw-w64. The -posix
# compilers: the default thread model has no std::mutex or std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TAVELNOR_MINGW_PREFIX i686-w64-mingw32)

set(CMAKE_C_COMPILER ${TAVELNOR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVELNOR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVELNOR_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${TAVELNOR_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVELNOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine (through qemu-i386 on machines that
# cannot run 32-bit code themselves), headless, in the build's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
