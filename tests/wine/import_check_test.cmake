# The portable folder's import check (cmake/check-windows-imports.cmake) must
# pass on the folder as built and fail, naming what is missing, on a copy
# that lacks a DLL the programs need.
#   cmake -DFOLDER=<portable folder> -DOBJDUMP=<objdump> -DCHECK=<script> -DWORK=<dir> -P import_check_test.cmake
cmake_minimum_required(VERSION 3.25)

function(run_check folder result output)
  execute_process(COMMAND "${CMAKE_COMMAND}" -DFOLDER=${folder} -DOBJDUMP=${OBJDUMP} -P "${CHECK}"
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result} "${code}" PARENT_SCOPE)
  set(${output} "${out}${err}" PARENT_SCOPE)
endfunction()

run_check("${FOLDER}" code text)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "The folder as built fails its import check:\n${text}")
endif()

# Without Qt6Gui.dll: every program and plugin that imports it is named.
file(REMOVE_RECURSE "${WORK}")
file(COPY "${FOLDER}/" DESTINATION "${WORK}")
file(REMOVE "${WORK}/Qt6Gui.dll")
run_check("${WORK}" code text)
file(REMOVE_RECURSE "${WORK}")
if(code EQUAL 0)
  message(FATAL_ERROR "A folder without Qt6Gui.dll passes the import check:\n${text}")
endif()
foreach(expected IN ITEMS "zapis-bitmapy.exe needs Qt6Gui.dll" "Qt6Widgets.dll needs Qt6Gui.dll"
                          "platforms/qwindows.dll needs Qt6Gui.dll")
  string(FIND "${text}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "The check does not say \"${expected}\":\n${text}")
  endif()
endforeach()
message(STATUS "The import check passes the folder and names what a copy without Qt6Gui.dll lacks")
