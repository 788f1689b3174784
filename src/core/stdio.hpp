// Whole-buffer writes to file descriptors. A report write either reaches the stream in full
// or fails with an errno. Only the entry point writes standard output; print_or_die serves the
// error envelope on standard error.
#pragma once

#include <unistd.h>

#include <string_view>

#include "core/io.hpp"

namespace tarnwick {

// Writes the text to stderr; when that fails there is nowhere left to say so, and the process
// ends with status 1, so the loss of an error report never looks like success.
void print_or_die(std::string_view data);

// Makes sure descriptors 0, 1 and 2 are open (on the null device if they were closed), so
// that no file the program opens later can become a standard stream.
void ensure_standard_descriptors();

}  // namespace tarnwick
