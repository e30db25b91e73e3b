// Reading and writing the files demotool works on: packed players, bare packages, projects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "demo/demo.h"

namespace demo {

// The demo inside a file, told apart by content: a project document (JSON text), the package
// behind a player when the file ends in a valid trailer, otherwise the whole file as a bare
// package.
struct PackageBytes {
    std::vector<uint8_t> file;
    uint64_t offset = 0;
    uint64_t size = 0;
    bool packed = false;   // found behind a player through its trailer
    bool project = false;  // a project document; side files are beside it
    std::string path;      // the file, as given
};

// Reads `path` whole and finds its demo. Throws std::runtime_error when it cannot be read.
PackageBytes load_package_file(const std::string& path);

// Reads the demo in `input`, package or project, showing progress on a terminal. `media`
// decodes and uploads while it loads (none for the commands that only need the stored forms).
// Throws PackageError on a damaged package and std::runtime_error on a bad document.
std::unique_ptr<Demo> read_demo(const PackageBytes& input, MediaHooks* media = nullptr);

// The demo's package bytes (no trailer).
std::vector<uint8_t> write_package(const Demo& demo);

// Reads a project document; side files are taken relative to the document's folder. Throws
// std::runtime_error on unreadable or invalid JSON.
std::unique_ptr<Demo> read_project(const std::string& path);

// The project document in `text`, read from `path`. Throws std::runtime_error on invalid JSON
// or a document that is not an object.
Json parse_document(const std::string& path, const std::vector<uint8_t>& text);

// Reads the demo of a project document read from `path`, with its side files beside it.
std::unique_ptr<Demo> read_document(const std::string& path, const Json& document,
                                    MediaHooks* media = nullptr);

// Writes `bytes` to `path`, replacing it. Throws std::runtime_error on failure.
void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace demo
