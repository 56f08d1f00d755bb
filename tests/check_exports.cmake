# A plug-in's dynamic export table holds exactly the expected names: for kestrovalumen the two
# entry points and the two type records.
execute_process(COMMAND nm -D --defined-only ${PLUGIN}
                OUTPUT_VARIABLE table RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${PLUGIN}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(names)
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
# EXPECTED names another plug-in's exports, comma-separated; by default kestrovalumen's.
if(DEFINED EXPECTED)
  string(REPLACE "," ";" expected "${EXPECTED}")
else()
  set(expected __plugin_cleanup __plugin_init _ZTI19process_main_base_c
               _ZTIN2FF5utils12MemoryBufferE)
endif()
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports of ${PLUGIN}:\n  ${names}\nexpected:\n  ${expected}")
endif()
message(STATUS "exports: ${names}")
