// Whole-file helpers for the side files of a project. Side files are named relative to the
// side-file folder: the project document's folder while a project is read or written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace demo {

// Where the exported project keeps the music.
inline constexpr const char* kMusicSideFile = "resources/music.mp3";

// Opens `path` for binary reading when it names a regular file (not a folder, device or
// pipe); otherwise, or when it cannot be opened, returns null.
std::FILE* open_regular_file(const std::string& path);

// The whole file as bytes. A file that cannot be opened (or is not a regular file) prints
// "File <path> not found! Returning empty string, with possibly bad outcomes..." and gives
// an empty result; callers carry on with it.
std::string read_whole_file(const std::string& path);

// Creates or truncates `path` (and any missing parent folders) and writes the bytes.
// Throws std::runtime_error when the file cannot be written, so an export never reports
// success with a side file missing.
void write_file(const std::string& path, const uint8_t* bytes, uint64_t length);

// Names the side-file folder for as long as it lives; the folder before it comes back after.
// With none named, side files are found from the working directory.
class SideFileFolder {
public:
    explicit SideFileFolder(std::string folder);
    ~SideFileFolder();
    SideFileFolder(const SideFileFolder&) = delete;
    SideFileFolder& operator=(const SideFileFolder&) = delete;

private:
    std::string previous_;
};

// The side-file folder; empty when none is named.
const std::string& side_file_folder();

// Where the side file `name` is: `name` inside the side-file folder.
std::string side_file_path(const std::string& name);

// read_whole_file and write_file of the side file `name`; messages name it as written.
std::string read_side_file(const std::string& name);
void write_side_file(const std::string& name, const uint8_t* bytes, uint64_t length);

}  // namespace demo
