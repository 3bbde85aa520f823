# Cross-build for Windows x86-64 with Debian's mingw-w64 (posix threads). Everything is linked
# statically: without -static the posix threads runtime DLL stays an import, and Wine ends a
# program that misses a DLL silently (exit code 53).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PELLARIN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PELLARIN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELLARIN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PELLARIN_MINGW_TRIPLET}-windres)
set(PELLARIN_DLLTOOL ${PELLARIN_MINGW_TRIPLET}-dlltool)
set(PELLARIN_OBJDUMP ${PELLARIN_MINGW_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${PELLARIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# CTest runs the test programs under Wine (scripts/wine-run.sh explains the prefix it uses).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
