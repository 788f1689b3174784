# tw_file_bytes(PATH BYTES_VAR LENGTH_VAR): the file's contents as the initialiser list of a C++
# char array ('\xNN',...) and its length in bytes, so that any byte survives unchanged. An empty
# file gives one '\0' (a C++ array cannot be empty) and the length 0.
function(tw_file_bytes path bytes_var length_var)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hex_len)
  math(EXPR byte_len "${hex_len} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  if(byte_len EQUAL 0)
    set(bytes "'\\0'")
  endif()
  set(${bytes_var} "${bytes}" PARENT_SCOPE)
  set(${length_var} "${byte_len}" PARENT_SCOPE)
endfunction()
