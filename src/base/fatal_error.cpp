#include "base/fatal_error.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <utility>

namespace demo {

std::string format_message(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

FatalError::FatalError(const std::string& message, std::string folder)
    : std::runtime_error(message), folder_(std::move(folder)) {}

void report_fatal_error(const FatalError& error) {
    // Also on standard error, where the authoring tool's user looks for it.
    std::fprintf(stderr, "Fatal error: %s\n", error.what());
    const std::string path = (std::filesystem::path(error.folder()) / "crash.txt").string();
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        std::printf("Error opening file!\n");
        return;
    }
    std::fprintf(file, "Fatal error: %s\n", error.what());
    std::fprintf(file, "Exiting.");
    std::fclose(file);
}

void report_package_error(const PackageUnreadable& error) {
    const std::string text = error.what();
    std::FILE* file = std::fopen("error.log", "wb");
    if (file != nullptr) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

}  // namespace demo
