# Turns docs/platform.md, the dated table of runner images and action pins, into a C++ source
# holding its text, so that `doctor` judges workflows by the same table as the workflow tests.
cmake_minimum_required(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/embed_bytes.cmake")
tw_file_bytes("${PLATFORM_MD}" bytes byte_len)
file(WRITE "${OUTPUT}.tmp" "// Generated from docs/platform.md at build time. Do not edit.\n#include \"doctor/platform_table.hpp\"\n\nnamespace tarnwick {\nnamespace {\nconst char bytes[] = {${bytes}};\n}  // namespace\n\nstd::string_view platform_markdown() { return std::string_view(bytes, ${byte_len}); }\n\n}  // namespace tarnwick\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
