#include "package_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "player/package_trailer.h"
#include "progress_bar.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"

namespace demo {

PackageBytes load_package_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    PackageBytes package;
    package.file.assign(std::istreambuf_iterator<char>(file), {});
    if (file.bad())
        throw std::runtime_error("cannot read " + path);

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
    }
    return package;
}

std::unique_ptr<Demo> read_package(const PackageBytes& package) {
    ProgressBar bar("Reading package");
    auto demo = std::make_unique<Demo>();
    demo->on_progress = [&bar](uint64_t done, uint64_t total) { bar.update(done, total); };
    InputStream in(package.file.data() + package.offset, package.size);
    demo->read_binary(in);
    demo->on_progress = nullptr;
    return demo;
}

std::vector<uint8_t> write_package(const Demo& demo) {
    std::vector<uint8_t> bytes;
    OutputStream out(bytes);
    demo.write_binary(out);
    return bytes;
}

std::unique_ptr<Demo> read_project(const std::string& path) {
    std::ifstream file(path);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    Json document = Json::parse(file, nullptr, false);
    if (document.is_discarded())
        throw std::runtime_error(path + " is not valid JSON");
    if (!document.is_object())
        throw std::runtime_error(path + " is not a project document");

    const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
    std::filesystem::current_path(folder);

    ProgressBar bar("Reading project");
    auto demo = std::make_unique<Demo>();
    demo->on_progress = [&bar](uint64_t done, uint64_t total) { bar.update(done, total); };
    demo->from_json(document);
    demo->on_progress = nullptr;
    return demo;
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
