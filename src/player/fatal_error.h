// How the player ends when it cannot go on: one line in a small text file, then exit(1).
#pragma once

#include <string>

namespace demo {

// Formats like printf; the result is cut to 255 characters, as fatal messages are short.
std::string format_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes "crash.txt" with "Fatal error: <message>\n" then "Exiting." and exits with status 1;
// the first line also goes to standard error.
// If the file cannot be created, prints "Error opening file!\n" and exits with status 1.
[[noreturn]] void report_fatal_error(const std::string& message);

// What a fatal error does instead of writing "crash.txt" and exiting, for as long as it is set:
// the authoring tool's preview throws, so that a project saved half-way does not end it, and
// so does the fuzzer that reads many projects in one process. A handler that returns still
// ends the process. Null restores the default.
using FatalErrorHandler = void (*)(const std::string& message);
void set_fatal_error_handler(FatalErrorHandler handler);

// Writes "error.log" holding exactly `text` and exits with status 1. Used when the package
// cannot be found or read; nothing is shown on screen.
[[noreturn]] void report_package_error(const std::string& text);

}  // namespace demo
