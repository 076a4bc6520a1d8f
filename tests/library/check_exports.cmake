# cmake -DNM=nm -DLIBRARY=libkindprobe.so.1 -DSYMBOLS=resources/debian/symbols -P check_exports.cmake
# Nothing but the C interface leaves the library, each name in the version node the Debian
# symbols file gives it.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F ]* [A-Za-z] " "" name "${line}")
  # llvm-nm prints a version node's own symbol as NODE@@NODE, GNU nm as NODE.
  if(name MATCHES "^([^@]+)@@([^@]+)$" AND CMAKE_MATCH_1 STREQUAL CMAKE_MATCH_2)
    set(name ${CMAKE_MATCH_1})
  endif()
  list(APPEND names ${name})
endforeach()
list(SORT names)

# " NAME@NODE VERSION" lines; nm prints a node's own symbol as NODE, a function as NAME@@NODE.
file(STRINGS ${SYMBOLS} entries REGEX "^ ")
set(expected "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^ ([^@]+)@([^ ]+) .*" "\\1;\\2" pair "${entry}")
  list(GET pair 0 name)
  list(GET pair 1 node)
  if(name STREQUAL node)
    list(APPEND expected ${node})
  else()
    list(APPEND expected ${name}@@${node})
  endif()
endforeach()
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
message(STATUS "exported: ${names}")
