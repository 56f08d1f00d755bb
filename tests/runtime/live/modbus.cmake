# A Modbus TCP server (pymodbus, which only Debian's own python sees) on a free port of
# 127.0.0.1 around runtime.live; the tests read its port from ${KV_BINARY_DIR}/modbus-peer.port.
set(KV_MODBUS_PEER ${CMAKE_CURRENT_LIST_DIR}/modbus_peer.py)
set(KV_MODBUS_PEER_PID ${PROJECT_BINARY_DIR}/modbus-peer.pid)
add_test(NAME runtime.live.modbus-server.start
  COMMAND /usr/bin/python3 ${KV_MODBUS_PEER} start --size 1000
          --port-file ${PROJECT_BINARY_DIR}/modbus-peer.port --pid-file ${KV_MODBUS_PEER_PID})
add_test(NAME runtime.live.modbus-server.stop
  COMMAND /usr/bin/python3 ${KV_MODBUS_PEER} stop --pid-file ${KV_MODBUS_PEER_PID})
set_tests_properties(runtime.live.modbus-server.start PROPERTIES
  FIXTURES_SETUP modbus-server LABELS live)
set_tests_properties(runtime.live.modbus-server.stop PROPERTIES
  FIXTURES_CLEANUP modbus-server LABELS live)
set_property(TEST runtime.live APPEND PROPERTY FIXTURES_REQUIRED modbus-server)
