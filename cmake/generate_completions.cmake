# Runs the built binary to write its bash, zsh and fish completion scripts into OUT_DIR.
file(MAKE_DIRECTORY "${OUT_DIR}")
foreach(pair "bash;tarnwick.bash" "zsh;_tarnwick" "fish;tarnwick.fish")
  list(GET pair 0 shell)
  list(GET pair 1 file)
  execute_process(COMMAND "${TARNWICK}" completions ${shell}
                  OUTPUT_FILE "${OUT_DIR}/${file}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tarnwick completions ${shell} failed: ${rc}")
  endif()
endforeach()
