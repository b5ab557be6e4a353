# Read by CPack for each Windows package it makes (CPACK_PROJECT_CONFIG_FILE):
# the file names, and the setup's four-part file version, from the version
# being packed.
set(CPACK_PACKAGE_FILE_NAME "zapis-bitmapy-${CPACK_PACKAGE_VERSION}-win64")
if(CPACK_GENERATOR STREQUAL "NSIS")
  string(APPEND CPACK_PACKAGE_FILE_NAME "-setup")
  string(REGEX MATCHALL "[0-9]+" parts "${CPACK_PACKAGE_VERSION}")
  list(APPEND parts 0 0 0 0)
  list(SUBLIST parts 0 4 parts)
  list(JOIN parts "." CPACK_NSIS_FILE_VERSION)
endif()
