// Whole-buffer writes to file descriptors. A report write either reaches the stream in full
// or fails with an errno. Only the entry point writes standard output; print_or_die serves the
// error envelope on standard error.
#pragma once

#include <unistd.h>

#include <string_view>

#include "core/io.hpp"

namespace tarnwick {

// Writes the text; on failure prints "failed printing to <stream>: <os error>" to stderr
// and ends the process with status 1. For documents whose loss must not look like success.
void print_or_die(int fd, std::string_view data, std::string_view stream_name);

// Makes sure descriptors 0, 1 and 2 are open (on the null device if they were closed), so
// that no file the program opens later can become a standard stream.
void ensure_standard_descriptors();

}  // namespace tarnwick
