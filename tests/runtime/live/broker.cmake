# The MQTT broker of the live tests (broker.py): started before runtime.live, stopped after it,
# on 127.0.0.1 only. The tests read its ports and files from KV_BINARY_DIR/livebroker/broker.env.
find_program(KV_PYTHON3 python3 REQUIRED)
set(KV_LIVE_BROKER_PROGRAMS)
foreach(program openssl mosquitto mosquitto_pub mosquitto_sub mosquitto_passwd)
  string(TOUPPER KV_${program} variable)
  find_program(${variable} ${program} PATHS /usr/sbin /usr/local/sbin REQUIRED)
  list(APPEND KV_LIVE_BROKER_PROGRAMS ${program}=${${variable}})
endforeach()
set(KV_LIVE_BROKER_DIR ${PROJECT_BINARY_DIR}/livebroker)
add_test(NAME runtime.live.broker.start
  COMMAND ${KV_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/broker.py start ${KV_LIVE_BROKER_DIR}
          ${KV_LIVE_BROKER_PROGRAMS})
add_test(NAME runtime.live.broker.stop
  COMMAND ${KV_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/broker.py stop ${KV_LIVE_BROKER_DIR})
set_tests_properties(runtime.live.broker.start PROPERTIES FIXTURES_SETUP livebroker LABELS live)
set_tests_properties(runtime.live.broker.stop PROPERTIES FIXTURES_CLEANUP livebroker LABELS live)
set_property(TEST runtime.live APPEND PROPERTY FIXTURES_REQUIRED livebroker)
