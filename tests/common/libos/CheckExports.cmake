# Compares the names a shared library defines in its dynamic symbol table with a list.
# cmake -DNM=<nm> -DLIBRARY=<file> -DEXPECTED=<list file> -P CheckExports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE nm_output RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${nm_result}")
endif()

string(REPLACE "\n" ";" nm_lines "${nm_output}")
set(actual "")
foreach(line IN LISTS nm_lines)
  if(line MATCHES "([^ ]+)$")
    string(REGEX REPLACE "@.*$" "" name "${CMAKE_MATCH_1}")
    list(APPEND actual "${name}")
  endif()
endforeach()

file(STRINGS ${EXPECTED} expected REGEX "^[^#]")
list(REMOVE_DUPLICATES actual)

set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
set(extra ${actual})
list(REMOVE_ITEM extra ${expected})

if(missing OR extra)
  list(JOIN missing "\n  " missing_text)
  list(JOIN extra "\n  " extra_text)
  message(FATAL_ERROR "Exported names differ from ${EXPECTED}\nmissing:\n  ${missing_text}\nextra:\n  ${extra_text}")
endif()
list(LENGTH actual count)
message(STATUS "${count} names exported, as listed")
