# Installing and packaging: `cmake --install` puts the programs in bin/
# and, on Linux, their desktop entries, icons, AppStream metadata, manual
# pages and the package's documents under share/; CPack turns that into a
# Debian package (Linux) or a ZIP / NSIS installer (Windows).
#
# The programs are built elsewhere (src/shell, src/obraz, src/emulator, src/tools); each
# one is installed, together with its desktop entry and manual page, only
# when its target exists in this build.

include(GNUInstallDirs)

set(TABLICA_PACKAGING_DIR "${CMAKE_CURRENT_LIST_DIR}/../packaging")
cmake_path(NORMAL_PATH TABLICA_PACKAGING_DIR)
set(TABLICA_LICENSE_FILE "${CMAKE_CURRENT_LIST_DIR}/../LICENSE")
cmake_path(NORMAL_PATH TABLICA_LICENSE_FILE)
set(TABLICA_APP_ID "pl.zapisbitmapy.ZapisBitmapy")
set(TABLICA_EMULATOR_APP_ID "pl.zapisbitmapy.TablicaEmulator")

set(TABLICA_PACKAGE_MAINTAINER "Zapis Bitmapy Team <zapis-bitmapy@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# Directories made by the install get the usual 0755 whatever the umask, so
# the package's tree has standard permissions.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# --- the programs -----------------------------------------------------------
# On Windows the programs sit at the top of their folder, with their DLLs.
if(WIN32)
  set(TABLICA_PROGRAM_DESTINATION .)
else()
  set(TABLICA_PROGRAM_DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
set(TABLICA_INSTALLED_PROGRAMS "")
foreach(program IN ITEMS zapis-bitmapy tablica-obraz tablica-emulator tablica-send tablica-convert
                        tablica-serwer)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${TABLICA_PROGRAM_DESTINATION})
    list(APPEND TABLICA_INSTALLED_PROGRAMS ${program})
  endif()
endforeach()

# On Windows the programs carry their icon and version as resources, so
# Explorer's properties, the taskbar and the installer's shortcuts show them.
if(WIN32)
  enable_language(RC)
  set(rc_description_zapis-bitmapy "Zapis bitmapy do tablicy informacyjnej")
  set(rc_description_tablica-emulator "Tablica informacyjna (emulator)")
  set(rc_description_tablica-obraz "Przygotowanie obrazu dla tablicy")
  set(rc_description_tablica-send "Wysłanie bitmapy do tablicy informacyjnej z wiersza poleceń")
  set(rc_description_tablica-convert "Zamiana obrazu lub tekstu na bitmapę tablicy")
  set(rc_description_tablica-serwer "Tablica informacyjna w sieci (HTTP i MQTT)")
  set(rc_icon_zapis-bitmapy zapis-bitmapy)
  set(rc_icon_tablica-obraz tablica-obraz)
  set(rc_icon_tablica-emulator tablica-emulator)
  set(rc_icon_tablica-send zapis-bitmapy)
  set(rc_icon_tablica-convert tablica-obraz)
  set(rc_icon_tablica-serwer zapis-bitmapy)
  foreach(program IN ITEMS zapis-bitmapy tablica-obraz tablica-emulator tablica-send tablica-convert
                          tablica-serwer)
    if(TARGET ${program})
      set(TABLICA_RC_PROGRAM ${program})
      set(TABLICA_RC_DESCRIPTION "${rc_description_${program}}")
      set(TABLICA_RC_ICON "${TABLICA_PACKAGING_DIR}/windows/${rc_icon_${program}}.ico")
      configure_file("${TABLICA_PACKAGING_DIR}/windows/program.rc.in"
                     "${CMAKE_BINARY_DIR}/packaging/${program}.rc" @ONLY)
      target_sources(${program} PRIVATE "${CMAKE_BINARY_DIR}/packaging/${program}.rc")
    endif()
  endforeach()
endif()

# On Windows the Qt libraries and plugins go next to the programs, so the
# folder, ZIP or installer runs on a machine without Qt: cross-built on
# Linux by cmake/WindowsDeploy.cmake, natively by windeployqt (run by the
# script Qt generates).
if(WIN32 AND CMAKE_CROSSCOMPILING AND TARGET zapis-bitmapy)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsDeploy.cmake)
  tablica_install_windows_runtime()
  # What the folder holds, to build before `cmake --install` (scripts/build-windows).
  add_custom_target(tablica_windows_programs DEPENDS ${TABLICA_INSTALLED_PROGRAMS})
elseif(WIN32 AND COMMAND qt_generate_deploy_app_script)
  foreach(program IN ITEMS zapis-bitmapy tablica-obraz tablica-emulator)
    if(TARGET ${program})
      # Qt 6.5 renamed the option that receives the script's file name.
      if(Qt6_VERSION VERSION_GREATER_EQUAL 6.5)
        qt_generate_deploy_app_script(TARGET ${program} OUTPUT_SCRIPT deploy_script
                                      NO_UNSUPPORTED_PLATFORM_ERROR)
      else()
        qt_generate_deploy_app_script(TARGET ${program} FILENAME_VARIABLE deploy_script
                                      NO_UNSUPPORTED_PLATFORM_ERROR)
      endif()
      install(SCRIPT ${deploy_script})
    endif()
  endforeach()
endif()

# --- desktop integration (Linux and other freedesktop systems) ---------------
if(UNIX AND NOT APPLE)
  set(staged "${CMAKE_BINARY_DIR}/packaging")
  file(MAKE_DIRECTORY "${staged}")

  # Text files that carry the version or the maintainer are filled in here;
  # those installed gzip-compressed are compressed with -n, so the package's
  # bytes do not change with the time of the build.
  find_program(TABLICA_GZIP gzip REQUIRED)
  function(tablica_stage_file source staged_name compress)
    configure_file("${source}" "${staged}/${staged_name}" @ONLY)
    if(compress)
      execute_process(COMMAND "${TABLICA_GZIP}" -9 -n -c "${staged}/${staged_name}"
                      OUTPUT_FILE "${staged}/${staged_name}.gz" COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endfunction()

  set(desktop_entry_zapis-bitmapy "${TABLICA_APP_ID}.desktop")
  set(desktop_entry_tablica-emulator "${TABLICA_EMULATOR_APP_ID}.desktop")
  set(desktop_entry_tablica-obraz "pl.zapisbitmapy.TablicaObraz.desktop")
  foreach(program IN LISTS TABLICA_INSTALLED_PROGRAMS)
    if(DEFINED desktop_entry_${program})
      install(FILES "${TABLICA_PACKAGING_DIR}/linux/${desktop_entry_${program}}"
              DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
      install(FILES "${TABLICA_PACKAGING_DIR}/icons/${program}.svg"
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
      foreach(size IN ITEMS 16 24 32 48 64 128 256)
        install(FILES "${TABLICA_PACKAGING_DIR}/icons/hicolor/${size}x${size}/apps/${program}.png"
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
      endforeach()
    endif()
    tablica_stage_file("${TABLICA_PACKAGING_DIR}/man/${program}.1" "${program}.1" TRUE)
    install(FILES "${staged}/${program}.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()

  if(TARGET zapis-bitmapy)
    tablica_stage_file("${TABLICA_PACKAGING_DIR}/linux/${TABLICA_APP_ID}.metainfo.xml.in"
                       "${TABLICA_APP_ID}.metainfo.xml" FALSE)
    install(FILES "${staged}/${TABLICA_APP_ID}.metainfo.xml"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  endif()

  # tablica-serwer as a system service: its unit (not enabled at install),
  # its settings in /etc/default (a conffile), its system user made by the
  # package's scripts.
  if(TARGET tablica-serwer)
    find_package(PkgConfig QUIET)
    if(PkgConfig_FOUND)
      pkg_get_variable(TABLICA_SYSTEMD_UNIT_DIR systemd systemdsystemunitdir)
    endif()
    if(NOT TABLICA_SYSTEMD_UNIT_DIR)
      set(TABLICA_SYSTEMD_UNIT_DIR /lib/systemd/system)
    endif()
    install(FILES "${TABLICA_PACKAGING_DIR}/linux/tablica-serwer.service"
            DESTINATION ${TABLICA_SYSTEMD_UNIT_DIR})
    install(FILES "${TABLICA_PACKAGING_DIR}/linux/tablica-serwer.default"
            DESTINATION /etc/default RENAME tablica-serwer)
    set(TABLICA_DEBIAN_CONTROL_EXTRA
        "${TABLICA_PACKAGING_DIR}/debian/service/conffiles"
        "${TABLICA_PACKAGING_DIR}/debian/service/postinst"
        "${TABLICA_PACKAGING_DIR}/debian/service/prerm"
        "${TABLICA_PACKAGING_DIR}/debian/service/postrm")
  endif()

  # The package's own documents: Debian looks for the copyright notice and
  # the changelog in /usr/share/doc/<package>/.
  tablica_stage_file("${TABLICA_PACKAGING_DIR}/debian/changelog.in" "changelog" TRUE)
  install(FILES "${TABLICA_PACKAGING_DIR}/debian/copyright" "${staged}/changelog.gz"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zapis-bitmapy)
elseif(NOT WIN32)
  install(FILES "${TABLICA_LICENSE_FILE}" DESTINATION .)
endif()

# Last of all: nothing in the Windows folder may need a DLL that is not there.
if(COMMAND tablica_install_windows_import_check)
  tablica_install_windows_import_check()
endif()

# --- CPack --------------------------------------------------------------------
set(CPACK_PACKAGE_NAME "zapis-bitmapy")
set(CPACK_PACKAGE_VENDOR "The zapis-bitmapy authors")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${TABLICA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "write a 128x32 picture to a dot-matrix information board")
set(CPACK_PACKAGE_DESCRIPTION_FILE "${TABLICA_PACKAGING_DIR}/debian/description.txt")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Zapis bitmapy")
set(CPACK_PACKAGE_EXECUTABLES "zapis-bitmapy" "Zapis bitmapy do tablicy informacyjnej")
set(CPACK_RESOURCE_FILE_LICENSE "${TABLICA_LICENSE_FILE}")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")

if(WIN32)
  # The ZIP and the setup program, from the portable folder.
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackages.cmake)
else()
  set(CPACK_GENERATOR "DEB")
  # Given as it is: CPack would otherwise read the description file itself
  # and escape it for XML, and the package would say "board&apos;s".
  file(READ "${TABLICA_PACKAGING_DIR}/debian/description.txt" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
endif()

set(CPACK_DEBIAN_PACKAGE_NAME "zapis-bitmapy")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# Dependencies come from the libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window draws its captions in the metric-compatible "MS Sans Serif" from
# fonts-wine; without it they fall back to a wider font.
# fonts-unifont: the default pixel font of text made for the board.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-unifont")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(TABLICA_DEBIAN_CONTROL_EXTRA)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${TABLICA_DEBIAN_CONTROL_EXTRA})
  # The scripts make the service's user with adduser.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
endif()

include(CPack)
