// How the player ends when it cannot go on. What goes wrong below the top level is thrown; the
// top level reports it in a small text file and exits with status 1.
#pragma once

#include <stdexcept>
#include <string>

namespace demo {

// Formats like printf; the result is cut to 255 characters, as fatal messages are short.
std::string format_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A load that cannot go on, such as a side file of a project that is not there. `folder` is
// where the side files were read from, so that its report lands beside them.
class FatalError : public std::runtime_error {
public:
    FatalError(const std::string& message, std::string folder);
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

// The player's package cannot be found or read; the message is the whole report.
class PackageUnreadable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes "crash.txt" in the error's folder (the working directory when it has none) with
// "Fatal error: <message>\n" then "Exiting."; the first line also goes to standard error.
// If the file cannot be created, prints "Error opening file!\n". The caller exits with 1.
void report_fatal_error(const FatalError& error);

// Writes "error.log" holding exactly the error's text; nothing is shown on screen. The caller
// exits with 1.
void report_package_error(const PackageUnreadable& error);

}  // namespace demo
