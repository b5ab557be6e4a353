# The Windows programs' folder, for a build cross-compiled on Linux with
# MinGW-w64 (scripts/build-windows): `cmake --install` puts the two programs
# at the top of the install prefix together with everything they need on a
# Windows 10 or 11 with nothing else installed:
#
#   zapis-bitmapy.exe, tablica-send.exe
#   Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll         Qt, shared
#   libstdc++-6.dll, libgcc_s_seh-1.dll,            the C++ runtime, the one
#   libwinpthread-1.dll                             Qt is built with
#   platforms/qwindows.dll                          Qt's window system
#   styles/qwindowsvistastyle.dll                   the system's look
#   imageformats/q{gif,ico,jpeg}.dll                other picture files
#   translations/qtbase_pl.qm                       Qt's dialogs in Polish
#   fonts/unifont.otf                               GNU Unifont, the default
#                                                   font of text for the board
#   libmosquitto.dll                                tablica-serwer.exe's MQTT
#                                                   client (scripts/windows-libs)
#   qt.conf                                         where Qt finds the above
#
# Then every import of every .exe and .dll there is checked (objdump): one
# that is neither in the folder nor part of Windows fails the install, so a
# missing DLL stops the build, not the user. A native Windows build deploys
# with Qt's windeployqt instead (cmake/Packaging.cmake).

set(TABLICA_WINDOWS_QT_LIBRARIES Qt6::Core Qt6::Gui Qt6::Widgets)
set(TABLICA_WINDOWS_QT_PLUGINS
    "platforms=Qt6::QWindowsIntegrationPlugin"
    "styles=Qt6::QWindowsVistaStylePlugin"
    "imageformats=Qt6::QGifPlugin"
    "imageformats=Qt6::QICOPlugin"
    "imageformats=Qt6::QJpegPlugin")

# The MinGW runtime DLLs, where the compiler itself finds them.
set(TABLICA_WINDOWS_RUNTIME_DLLS "")
foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    message(FATAL_ERROR "The MinGW runtime ${dll} was not found (${CMAKE_CXX_COMPILER})")
  endif()
  list(APPEND TABLICA_WINDOWS_RUNTIME_DLLS "${found}")
endforeach()
set(TABLICA_WINDOWS_RUNTIME_DLLS "${TABLICA_WINDOWS_RUNTIME_DLLS}" CACHE INTERNAL "")

# Qt's Polish texts for its own dialogs and message boxes (Debian's
# qt6-translations-l10n on the building machine).
find_file(TABLICA_QT_POLISH_TRANSLATION qtbase_pl.qm
          PATHS /usr/share/qt6/translations ${QT_HOST_PATH}/share/qt6/translations
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)

# GNU Unifont (Debian's fonts-unifont): Windows has no copy of its own, and
# the picture library looks for it in fonts/ beside the programs.
find_file(TABLICA_UNIFONT_FILE unifont.otf PATHS /usr/share/fonts/opentype/unifont
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)

find_program(TABLICA_MINGW_OBJDUMP NAMES ${TABLICA_MINGW_TRIPLET}-objdump x86_64-w64-mingw32-objdump
             REQUIRED)
find_program(TABLICA_MINGW_STRIP NAMES ${TABLICA_MINGW_TRIPLET}-strip x86_64-w64-mingw32-strip
             REQUIRED)

function(tablica_install_windows_runtime)
  foreach(library IN LISTS TABLICA_WINDOWS_QT_LIBRARIES)
    install(FILES "$<TARGET_FILE:${library}>" DESTINATION .)
  endforeach()
  foreach(entry IN LISTS TABLICA_WINDOWS_QT_PLUGINS)
    string(REPLACE "=" ";" parts "${entry}")
    list(GET parts 0 folder)
    list(GET parts 1 plugin)
    install(FILES "$<TARGET_FILE:${plugin}>" DESTINATION ${folder})
  endforeach()
  # Debian ships the runtime with its symbols (libstdc++-6.dll: 22 MiB);
  # the folder gets it stripped.
  install(FILES ${TABLICA_WINDOWS_RUNTIME_DLLS} DESTINATION .)
  install(CODE "
    foreach(dll IN ITEMS ${TABLICA_WINDOWS_RUNTIME_DLLS})
      cmake_path(GET dll FILENAME name)
      execute_process(COMMAND \"${TABLICA_MINGW_STRIP}\" --strip-unneeded
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${name}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()")
  if(TABLICA_QT_POLISH_TRANSLATION)
    install(FILES "${TABLICA_QT_POLISH_TRANSLATION}" DESTINATION translations)
  else()
    message(WARNING "qtbase_pl.qm not found (qt6-translations-l10n): "
                    "Qt's dialogs will speak English")
  endif()
  install(FILES "${CMAKE_CURRENT_LIST_DIR}/windows-qt.conf" DESTINATION . RENAME qt.conf)
  # libmosquitto, for tablica-serwer.exe's MQTT (src/service/mqtt).
  if(TABLICA_MOSQUITTO_DLL)
    install(FILES "${TABLICA_MOSQUITTO_DLL}" DESTINATION .)
  endif()
  if(TARGET tablica_picture)
    if(NOT TABLICA_UNIFONT_FILE)
      message(FATAL_ERROR "unifont.otf not found (fonts-unifont, scripts/deps/windows.txt)")
    endif()
    install(FILES "${TABLICA_UNIFONT_FILE}" DESTINATION fonts)
  endif()
endfunction()

# Runs last: checks the imports of everything installed so far.
function(tablica_install_windows_import_check)
  install(CODE "
    execute_process(COMMAND \"${CMAKE_COMMAND}\"
                            -DFOLDER=\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}
                            -DOBJDUMP=${TABLICA_MINGW_OBJDUMP}
                            -P \"${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check-windows-imports.cmake\"
                    COMMAND_ERROR_IS_FATAL ANY)")
endfunction()
