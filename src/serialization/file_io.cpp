#include "serialization/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

namespace demo {

namespace {

// The folder side files are named relative to; empty: the working directory.
std::string side_folder;

// read_whole_file of `path`, naming it `shown` in its message.
std::string read_all(const std::string& path, const std::string& shown) {
    std::FILE* file = open_regular_file(path);
    if (file == nullptr) {
        std::printf("File %s not found! Returning empty string, with possibly bad outcomes...\n",
                    shown.c_str());
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

// write_file of `path`, naming it `shown` in its errors.
void write_to(const std::string& path, const std::string& shown, const uint8_t* bytes,
              uint64_t length) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ignored;
    if (!parent.empty())
        std::filesystem::create_directories(parent, ignored);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + shown + ": " + std::strerror(errno));
    }
    const size_t written = length == 0 ? 0 : std::fwrite(bytes, 1, length, file);
    const bool closed = std::fclose(file) == 0;
    if (written != length || !closed)
        throw std::runtime_error("cannot write " + shown);
}

}  // namespace

std::FILE* open_regular_file(const std::string& path) {
    // A folder opens on some systems and reports a huge size; devices and pipes never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return nullptr;
    return std::fopen(path.c_str(), "rb");
}

std::string read_whole_file(const std::string& path) {
    return read_all(path, path);
}

void write_file(const std::string& path, const uint8_t* bytes, uint64_t length) {
    write_to(path, path, bytes, length);
}

SideFileFolder::SideFileFolder(std::string folder) : previous_(std::move(side_folder)) {
    side_folder = std::move(folder);
}

SideFileFolder::~SideFileFolder() {
    side_folder = std::move(previous_);
}

const std::string& side_file_folder() {
    return side_folder;
}

std::string side_file_path(const std::string& name) {
    return side_folder.empty() ? name : (std::filesystem::path(side_folder) / name).string();
}

std::string read_side_file(const std::string& name) {
    return read_all(side_file_path(name), name);
}

void write_side_file(const std::string& name, const uint8_t* bytes, uint64_t length) {
    write_to(side_file_path(name), name, bytes, length);
}

}  // namespace demo
