// libFuzzer entry point for the JSON project reader. The input is a project document, a NUL,
// then side files as "name NUL contents NUL" pairs, laid out in a scratch folder (in memory
// where /dev/shm exists) that is the working directory. Any input must load or fail with an
// exception; whatever loads must write a package that reads back and an embedded document
// that serialises.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"

namespace fs = std::filesystem;

namespace {

// A side-file name the scratch folder can hold: relative, no "..", not empty.
bool safe_name(const std::string& name) {
    const fs::path path(name);
    if (name.empty() || path.is_absolute() || name.find('\\') != std::string::npos)
        return false;
    for (const fs::path& part : path) {
        if (part == "..")
            return false;
    }
    return true;
}

// Side files of the previous input, removed before the next one is laid out.
std::vector<fs::path> laid_out;

void lay_out_side_files(const std::string& rest) {
    std::error_code ignored;
    for (const fs::path& path : laid_out)
        fs::remove_all(path, ignored);
    laid_out.clear();
    size_t at = 0;
    while (at < rest.size()) {
        const size_t name_end = rest.find('\0', at);
        if (name_end == std::string::npos)
            return;
        size_t contents_end = rest.find('\0', name_end + 1);
        if (contents_end == std::string::npos)
            contents_end = rest.size();
        const std::string name = rest.substr(at, name_end - at);
        if (safe_name(name)) {
            laid_out.push_back(*fs::path(name).begin());  // its top folder, or itself
            fs::create_directories(fs::path(name).parent_path(), ignored);
            std::ofstream(name, std::ios::binary)
                << rest.substr(name_end + 1, contents_end - name_end - 1);
        }
        at = contents_end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path folder = base / ("project_reader_fuzz." + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::current_path(folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string text = input.substr(0, split);
    lay_out_side_files(split == std::string::npos ? std::string() : input.substr(split + 1));

    const demo::Json document = demo::Json::parse(text, nullptr, false);
    if (document.is_discarded())
        return 0;
    demo::Demo loaded;
    try {
        loaded.from_json(document);
    } catch (const std::exception&) {
        return 0;  // refused cleanly
    }
    std::vector<uint8_t> package;
    demo::OutputStream out(package);
    loaded.write_binary(out);
    demo::InputStream in(package.data(), package.size());
    demo::Demo again;
    again.read_binary(in);  // a package the writer made must read back: no catch
    (void)loaded.to_json(false).dump();
    return 0;
}
