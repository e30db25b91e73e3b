#include "player/fatal_error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace demo {

namespace {

FatalErrorHandler fatal_error_handler = nullptr;

}  // namespace

std::string format_message(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

void set_fatal_error_handler(FatalErrorHandler handler) {
    fatal_error_handler = handler;
}

void report_fatal_error(const std::string& message) {
    if (fatal_error_handler != nullptr) {
        fatal_error_handler(message);
        std::exit(1);  // a handler that returns still ends the process
    }
    // Also on standard error, where the authoring tool's user looks for it.
    std::fprintf(stderr, "Fatal error: %s\n", message.c_str());
    std::FILE* file = std::fopen("crash.txt", "w");
    if (file == nullptr) {
        std::printf("Error opening file!\n");
        std::exit(1);
    }
    std::fprintf(file, "Fatal error: %s\n", message.c_str());
    std::fprintf(file, "Exiting.");
    std::fclose(file);
    std::exit(1);
}

void report_package_error(const std::string& text) {
    std::FILE* file = std::fopen("error.log", "wb");
    if (file != nullptr) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    std::exit(1);
}

}  // namespace demo
