# Checks that every DLL that an .exe or .dll in FOLDER imports is either in
# FOLDER itself (where Windows looks first for a program's DLLs, also for its
# plugins' ones) or part of Windows 10 and later. Fails naming each one that
# is missing.
#   cmake -DFOLDER=<folder> -DOBJDUMP=<x86_64-w64-mingw32-objdump> -P check-windows-imports.cmake

cmake_minimum_required(VERSION 3.25)

# What Windows 10 and 11 always have, in lower case.
set(system_dlls
  advapi32.dll authz.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll d2d1.dll d3d11.dll
  d3d9.dll dwmapi.dll dwrite.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll mpr.dll msvcrt.dll
  netapi32.dll ntdll.dll ole32.dll oleaut32.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll
  user32.dll userenv.dll uxtheme.dll version.dll winmm.dll ws2_32.dll wtsapi32.dll)

if(NOT IS_DIRECTORY "${FOLDER}")
  message(FATAL_ERROR "No folder ${FOLDER}")
endif()
file(GLOB_RECURSE binaries LIST_DIRECTORIES false "${FOLDER}/*.exe" "${FOLDER}/*.dll")
file(GLOB present RELATIVE "${FOLDER}" "${FOLDER}/*.dll")
string(TOLOWER "${present}" present)

set(missing "")
set(checked 0)
foreach(binary IN LISTS binaries)
  execute_process(COMMAND "${OBJDUMP}" -p "${binary}" OUTPUT_VARIABLE dump
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${OBJDUMP} cannot read ${binary}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" name "${import}")
    string(STRIP "${name}" name)
    string(TOLOWER "${name}" lower)
    # The API sets (api-ms-win-*) are names of Windows' own libraries.
    if(lower IN_LIST present OR lower IN_LIST system_dlls OR lower MATCHES "^api-ms-win-")
      continue()
    endif()
    file(RELATIVE_PATH shown "${FOLDER}" "${binary}")
    list(APPEND missing "${shown} needs ${name}")
  endforeach()
  math(EXPR checked "${checked} + 1")
endforeach()

if(missing)
  list(JOIN missing "\n  " text)
  message(FATAL_ERROR "DLLs missing from ${FOLDER}:\n  ${text}")
endif()
if(checked EQUAL 0)
  message(FATAL_ERROR "No programs or DLLs in ${FOLDER}")
endif()
message(STATUS "Imports of ${checked} programs and DLLs in ${FOLDER}: all found")
