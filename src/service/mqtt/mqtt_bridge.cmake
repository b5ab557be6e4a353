# The MQTT bridge of tablica-serwer (--mqtt): libmosquitto's client joined to
# the board service. Included by src/service/CMakeLists.txt once the
# service's core is defined; without libmosquitto there is no client, and
# the service's own stand-in says that MQTT is not built in.
if(TARGET tablica_mqtt_client AND TARGET tablica_service_core)
  add_library(tablica_mqtt_bridge STATIC ${CMAKE_CURRENT_LIST_DIR}/mqtt_board_bridge.cpp)
  target_link_libraries(tablica_mqtt_bridge PUBLIC tablica_mqtt_client tablica_service_core)
endif()
