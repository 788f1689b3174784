# Turns docs/platform.md, the dated table of runner images and action pins, into a C++ source
# holding its text, so that `doctor` judges workflows by the same table as the workflow tests.
cmake_minimum_required(VERSION 3.25)

file(READ "${PLATFORM_MD}" hex HEX)
string(LENGTH "${hex}" hex_len)
math(EXPR byte_len "${hex_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
if(byte_len EQUAL 0)
  set(bytes "'\\0'")
endif()
file(WRITE "${OUTPUT}.tmp" "// Generated from docs/platform.md at build time. Do not edit.\n#include \"doctor/platform_table.hpp\"\n\nnamespace tarnwick {\nnamespace {\nconst char bytes[] = {${bytes}};\n}  // namespace\n\nstd::string_view platform_markdown() { return std::string_view(bytes, ${byte_len}); }\n\n}  // namespace tarnwick\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
