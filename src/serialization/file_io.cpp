#include "serialization/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace demo {

std::FILE* open_regular_file(const std::string& path) {
    // A folder opens on some systems and reports a huge size; devices and pipes never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return nullptr;
    return std::fopen(path.c_str(), "rb");
}

std::string read_whole_file(const std::string& path) {
    std::FILE* file = open_regular_file(path);
    if (file == nullptr) {
        std::printf("File %s not found! Returning empty string, with possibly bad outcomes...\n",
                    path.c_str());
        return std::string();
    }
    std::fseek(file, 0, SEEK_END);
    const long end = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    std::string bytes(end > 0 ? static_cast<size_t>(end) : 0, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

void write_file(const std::string& path, const uint8_t* bytes, uint64_t length) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ignored;
    if (!parent.empty())
        std::filesystem::create_directories(parent, ignored);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
    const size_t written = length == 0 ? 0 : std::fwrite(bytes, 1, length, file);
    const bool closed = std::fclose(file) == 0;
    if (written != length || !closed)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace demo
