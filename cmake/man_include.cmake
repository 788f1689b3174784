# Writes a help2man include file with the help of every subcommand, taken from the binary,
# so the man page documents each command's options too.
set(text "[COMMANDS IN DETAIL]\n")
foreach(sub new check secrets schema completions)
  execute_process(COMMAND "${TARNWICK}" help ${sub} OUTPUT_VARIABLE help RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tarnwick help ${sub} failed: ${rc}")
  endif()
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND text ".SS ${sub}\n.nf\n${help}.fi\n")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
