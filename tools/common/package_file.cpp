#include "package_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "player/package_trailer.h"
#include "progress_bar.h"
#include "serialization/file_io.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"

namespace demo {

namespace {

bool is_json_space(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A document starts with "{" and then a member name or "}"; a package starts with its object
// total, whose second byte would have to be '"' or '}' (over 8,000 objects) to look alike.
bool looks_like_project(const std::vector<uint8_t>& bytes) {
    size_t at = 0;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        at = 3;  // a byte-order mark some editors write
    const auto skip_space = [&] {
        while (at < bytes.size() && is_json_space(bytes[at]))
            ++at;
    };
    skip_space();
    if (at >= bytes.size() || bytes[at] != '{')
        return false;
    ++at;
    skip_space();
    return at < bytes.size() && (bytes[at] == '"' || bytes[at] == '}');
}

// A new demo that `read` fills with `media`, its progress on a bar named `label`. A read that
// fails gives back what it already took from the GPU and the sound device, so a tool that goes
// on does not keep it.
template <typename Read>
std::unique_ptr<Demo> read_with_progress(const char* label, MediaHooks* media, Read&& read) {
    ProgressBar bar(label);
    auto demo = std::make_unique<Demo>();
    demo->media = media;
    demo->on_progress = [&bar](uint64_t done, uint64_t total) { bar.update(done, total); };
    try {
        read(*demo);
    } catch (...) {
        if (demo->media != nullptr)
            demo->release_media();
        throw;
    }
    demo->on_progress = nullptr;
    return demo;
}

}  // namespace

Json parse_document(const std::string& path, const std::vector<uint8_t>& text) {
    Json document;
    try {
        document = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& e) {
        // The library's message starts with its own error code in brackets.
        const std::string what = e.what();
        const size_t bracket = what.find("] ");
        throw std::runtime_error(path + " is not valid JSON: " +
                                 (bracket == std::string::npos ? what : what.substr(bracket + 2)));
    }
    if (!document.is_object())
        throw std::runtime_error(path + " is not a project document");
    return document;
}

std::unique_ptr<Demo> read_document(const std::string& path, const Json& document,
                                    MediaHooks* media) {
    // Side files are named relative to the document's folder.
    const SideFileFolder folder(std::filesystem::absolute(path).parent_path().string());
    return read_with_progress("Reading project", media,
                              [&](Demo& demo) { demo.from_json(document); });
}

namespace {

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(file), {});
    if (file.bad())
        throw std::runtime_error("cannot read " + path);
    return bytes;
}

}  // namespace

PackageBytes load_package_file(const std::string& path) {
    PackageBytes package;
    package.path = path;
    package.file = read_file(path);

    const uint64_t size = package.file.size();
    PackageLocation location;
    if (size >= kTrailerSize &&
        parse_trailer(package.file.data() + size - kTrailerSize, kTrailerSize, size, location) ==
            TrailerStatus::Found) {
        package.offset = location.offset;
        package.size = location.size;
        package.packed = true;
    } else {
        package.offset = 0;
        package.size = size;
        package.project = looks_like_project(package.file);
    }
    return package;
}

std::unique_ptr<Demo> read_demo(const PackageBytes& input, MediaHooks* media) {
    if (input.project)
        return read_document(input.path, parse_document(input.path, input.file), media);
    InputStream in(input.file.data() + input.offset, input.size);
    return read_with_progress("Reading package", media, [&](Demo& demo) { demo.read_binary(in); });
}

std::vector<uint8_t> write_package(const Demo& demo) {
    std::vector<uint8_t> bytes;
    OutputStream out(bytes);
    demo.write_binary(out);
    return bytes;
}

std::unique_ptr<Demo> read_project(const std::string& path) {
    return read_document(path, parse_document(path, read_file(path)), nullptr);
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace demo
