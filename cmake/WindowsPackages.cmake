# The Windows packages, made by CPack from the portable folder that
# `cmake --install` leaves (scripts/build-windows, then scripts/package-windows):
#
#   zapis-bitmapy-<version>-win64.zip        the folder, as one top folder
#   zapis-bitmapy-<version>-win64-setup.exe  an NSIS setup program (makensis),
#                                            packaging/windows/NSIS.template.in
#
# Both take their files from the folder itself, so they hold exactly what the
# folder holds. The licences of everything shipped go into the folder too:
# LICENSE.txt (also the setup's licence page) and licenses/.

set(TABLICA_WINDOWS_FOLDER "${CMAKE_BINARY_DIR}/zapis-bitmapy-win64" CACHE PATH
    "The portable folder that the Windows packages are made from")

# --- licences -----------------------------------------------------------------
# On a Debian machine that cross-builds, the texts come from the packages the
# shipped files come from. (A native Windows build ships the project's own
# LICENSE only; its Qt installer brings Qt's licence files.)
set(TABLICA_LICENSE_LGPL3 /usr/share/common-licenses/LGPL-3 CACHE FILEPATH "GNU LGPL 3 text")
set(TABLICA_LICENSE_GPL3 /usr/share/common-licenses/GPL-3 CACHE FILEPATH "GNU GPL 3 text")
set(TABLICA_LICENSE_GPL2 /usr/share/common-licenses/GPL-2 CACHE FILEPATH "GNU GPL 2 text")
set(TABLICA_COPYRIGHT_QT /usr/share/doc/qt6-base-dev/copyright CACHE FILEPATH
    "Copyright notices of Qt (qt6-base), its bundled libraries included")
set(TABLICA_COPYRIGHT_QT_TRANSLATIONS /usr/share/doc/qt6-translations-l10n/copyright
    CACHE FILEPATH "Copyright notices of Qt's translations")
set(TABLICA_COPYRIGHT_GCC /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright
    CACHE FILEPATH "Copyright notices of the GCC runtime (libstdc++-6.dll, libgcc_s_seh-1.dll)")
set(TABLICA_COPYRIGHT_MINGW /usr/share/doc/mingw-w64-x86-64-dev/copyright CACHE FILEPATH
    "Copyright notices of MinGW-w64 (libwinpthread-1.dll)")
set(TABLICA_COPYRIGHT_UNIFONT /usr/share/doc/fonts-unifont/copyright CACHE FILEPATH
    "Copyright notices of GNU Unifont (fonts\\unifont.otf)")

# Text between `first` and `last` (both included) of `text`; stops the
# configuration when the notice changed so that either is missing.
function(tablica_text_between text first last out)
  string(FIND "${text}" "${first}" begin)
  if(begin EQUAL -1)
    message(FATAL_ERROR "Licence text: \"${first}\" not found")
  endif()
  string(SUBSTRING "${text}" ${begin} -1 rest)
  string(FIND "${rest}" "${last}" end)
  if(end EQUAL -1)
    message(FATAL_ERROR "Licence text: \"${last}\" not found after \"${first}\"")
  endif()
  string(LENGTH "${last}" last_length)
  math(EXPR end "${end} + ${last_length}")
  string(SUBSTRING "${rest}" 0 ${end} part)
  set(${out} "${part}" PARENT_SCOPE)
endfunction()

# Windows text files: CR LF line ends, and a byte order mark, so that Notepad
# and the setup's licence page read letters beyond ASCII as UTF-8.
function(tablica_write_windows_text path text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  string(ASCII 239 187 191 bom)
  file(WRITE "${path}" "${bom}${text}")
endfunction()

function(tablica_stage_windows_licences staged)
  foreach(file IN ITEMS TABLICA_LICENSE_LGPL3 TABLICA_LICENSE_GPL3 TABLICA_LICENSE_GPL2
                        TABLICA_COPYRIGHT_QT
                        TABLICA_COPYRIGHT_QT_TRANSLATIONS TABLICA_COPYRIGHT_GCC
                        TABLICA_COPYRIGHT_MINGW TABLICA_COPYRIGHT_UNIFONT)
    if(NOT EXISTS "${${file}}")
      message(FATAL_ERROR "${file}: ${${file}} is missing (scripts/deps/windows.txt installs it)")
    endif()
    file(READ "${${file}}" ${file}_text)
  endforeach()
  file(READ "${TABLICA_LICENSE_FILE}" project_licence)

  # The GCC runtime's exception and winpthreads' licence, as Debian's
  # copyright files state them (these are in DEP-5 form: indented, "." for
  # an empty line).
  tablica_text_between("${TABLICA_COPYRIGHT_GCC_text}" "GCC RUNTIME LIBRARY EXCEPTION"
                       "requirements of the license of GCC." gcc_exception)
  tablica_text_between("${TABLICA_COPYRIGHT_MINGW_text}"
                       "Files: mingw-w64-libraries/winpthreads/*" "POSSIBILITY OF SUCH DAMAGE."
                       winpthreads)
  tablica_text_between("${TABLICA_COPYRIGHT_MINGW_text}" "License: expat\n Permission"
                       "DEALINGS IN THE\n SOFTWARE." expat)
  foreach(part IN ITEMS winpthreads expat)
    string(REGEX REPLACE "\n \\.\n" "\n\n" ${part} "${${part}}")
    string(REGEX REPLACE "\n " "\n" ${part} "${${part}}")
  endforeach()

  # tablica-serwer.exe's libraries, built from Debian's sources by
  # scripts/windows-libs, which keeps their notices beside them.
  set(TABLICA_SERVICE_COMPONENTS "")
  set(service_licences "")
  if(TARGET tablica-serwer AND TABLICA_MOSQUITTO_DLL)
    cmake_path(GET TABLICA_MOSQUITTO_DLL PARENT_PATH libs_bin)
    set(libs_licences "${libs_bin}/../licenses")
    foreach(file IN ITEMS mosquitto-copyright mosquitto-epl-v20 mosquitto-edl-v10
                          cpp-httplib-copyright cpp-httplib-LICENSE)
      if(NOT EXISTS "${libs_licences}/${file}.txt")
        message(FATAL_ERROR "${libs_licences}/${file}.txt is missing (scripts/windows-libs)")
      endif()
      file(READ "${libs_licences}/${file}.txt" ${file}_text)
    endforeach()
    set(service_licences mosquitto cpp-httplib)
    set(TABLICA_SERVICE_COMPONENTS [=[
- libmosquitto 2.0.11 (libmosquitto.dll), klient MQTT programu
  tablica-serwer.exe: Eclipse Public License 2.0 albo Eclipse Distribution
  License 1.0, do wyboru. Zbudowana z pakietu źródłowego Debiana 12
  mosquitto (https://sources.debian.org/src/mosquitto/); noty i teksty
  obu licencji: licenses\mosquitto.txt.
- cpp-httplib 0.11.4 (w tablica-serwer.exe): licencja MIT. Z pakietu
  źródłowego Debiana 12 cpp-httplib; nota i licencja:
  licenses\cpp-httplib.txt.
]=])
  endif()

  set(TABLICA_QT_VERSION "${Qt6_VERSION}")
  configure_file("${TABLICA_PACKAGING_DIR}/windows/shipped-components.txt"
                 "${CMAKE_BINARY_DIR}/packaging/shipped-components.txt" @ONLY)
  file(READ "${CMAKE_BINARY_DIR}/packaging/shipped-components.txt" components)

  set(rule "\n\n========================================================================\n\n")
  tablica_write_windows_text("${staged}/LICENSE.txt"
    "Zapis bitmapy do tablicy informacyjnej\n\n${project_licence}${rule}${components}${rule}${TABLICA_LICENSE_LGPL3_text}${rule}${TABLICA_LICENSE_GPL3_text}${rule}${gcc_exception}${rule}winpthreads (MinGW-w64)\n\n${winpthreads}\n\n${expat}\n")
  tablica_write_windows_text("${staged}/licenses/qt6-base.txt" "${TABLICA_COPYRIGHT_QT_text}")
  tablica_write_windows_text("${staged}/licenses/qt6-translations.txt"
                             "${TABLICA_COPYRIGHT_QT_TRANSLATIONS_text}")
  tablica_write_windows_text("${staged}/licenses/gcc.txt" "${TABLICA_COPYRIGHT_GCC_text}")
  tablica_write_windows_text("${staged}/licenses/mingw-w64.txt" "${TABLICA_COPYRIGHT_MINGW_text}")
  tablica_write_windows_text("${staged}/licenses/fonts-unifont.txt"
                             "${TABLICA_COPYRIGHT_UNIFONT_text}${rule}${TABLICA_LICENSE_GPL2_text}")
  if("mosquitto" IN_LIST service_licences)
    tablica_write_windows_text("${staged}/licenses/mosquitto.txt"
      "${mosquitto-copyright_text}${rule}${mosquitto-epl-v20_text}${rule}${mosquitto-edl-v10_text}")
    tablica_write_windows_text("${staged}/licenses/cpp-httplib.txt"
      "${cpp-httplib-copyright_text}${rule}${cpp-httplib-LICENSE_text}")
  endif()
endfunction()

if(CMAKE_CROSSCOMPILING AND TARGET zapis-bitmapy)
  set(staged "${CMAKE_BINARY_DIR}/packaging/windows-licences")
  tablica_stage_windows_licences("${staged}")
  install(FILES "${staged}/LICENSE.txt" DESTINATION .)
  install(DIRECTORY "${staged}/licenses" DESTINATION .)
  set(CPACK_RESOURCE_FILE_LICENSE "${staged}/LICENSE.txt")
else()
  install(FILES "${TABLICA_LICENSE_FILE}" DESTINATION . RENAME LICENSE.txt)
endif()

# --- CPack --------------------------------------------------------------------
find_program(TABLICA_MAKENSIS makensis)
if(TABLICA_MAKENSIS)
  set(CPACK_GENERATOR "ZIP;NSIS")
else()
  set(CPACK_GENERATOR "ZIP")
endif()

# The folder as it is (its programs and DLLs are stripped already); no
# second install run.
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INSTALLED_DIRECTORIES "${TABLICA_WINDOWS_FOLDER};.")
set(CPACK_STRIP_FILES OFF)
set(CPACK_SYSTEM_NAME win64)
# One uninstall entry whatever the version, so that a newer setup finds and
# replaces the older one.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "zapis-bitmapy")
# File names per generator, and what depends on the version, are worked out
# when CPack runs (so `cpack -D CPACK_PACKAGE_VERSION=...` makes a whole
# other version).
set(CPACK_PROJECT_CONFIG_FILE "${TABLICA_PACKAGING_DIR}/windows/CPackWindows.cmake")

set(CPACK_NSIS_PACKAGE_NAME "Zapis bitmapy do tablicy informacyjnej")
set(CPACK_NSIS_DISPLAY_NAME "Zapis bitmapy do tablicy informacyjnej")
set(CPACK_NSIS_MENU_FOLDER "Zapis bitmapy")
set(CPACK_NSIS_MUI_ICON "${TABLICA_PACKAGING_DIR}/windows/zapis-bitmapy.ico")
set(CPACK_NSIS_MUI_UNIICON "${TABLICA_PACKAGING_DIR}/windows/zapis-bitmapy.ico")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# CPack looks for NSIS.template.in on its module path before its own.
set(CPACK_MODULE_PATH "${TABLICA_PACKAGING_DIR}/windows" ${CMAKE_MODULE_PATH})
