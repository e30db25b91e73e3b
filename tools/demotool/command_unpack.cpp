// demotool unpack: the project of a packed player or bare package, with its side files.
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "command_line.h"
#include "commands.h"
#include "common/package_file.h"
#include "serialization/file_io.h"

namespace demo {

namespace {

constexpr const char* kUnpackHelp =
    "usage: demotool unpack INPUT -o DIR [--embed]\n"
    "\n"
    "Reads the package of a packed player (or a bare package) and writes DIR/project.json\n"
    "with its side files beside it.\n"
    "\n"
    "  -o, --output DIR   folder to write into (created when missing)\n"
    "  --embed            one document with every content embedded, no side files\n";

// Packages come from other people: a side-file name must stay inside the output folder.
void check_side_file_name(const std::string& name) {
    const std::filesystem::path path(name);
    if (name.empty())
        throw std::runtime_error("the package names a side file with an empty name");
    if (path.is_absolute()) {
        throw std::runtime_error("refusing to unpack: the package names the absolute path '" +
                                 name + "'");
    }
    for (const auto& part : path) {
        if (part == "..") {
            throw std::runtime_error("refusing to unpack: the side file '" + name +
                                     "' would be written outside the output folder");
        }
    }
}

}  // namespace

int run_unpack(const Arguments& args) {
    const ParsedArguments parsed =
        parse_command(args, kUnpackHelp, "INPUT", {"--output"}, {"--embed"});
    if (parsed.help)
        return 0;
    const std::string output = parsed.value("--output");
    if (output.empty())
        throw UsageError{"needs -o DIR"};
    const bool embed = parsed.flag("--embed");

    const PackageBytes package = load_package_file(parsed.positional[0]);
    std::unique_ptr<Demo> demo = read_demo(package);
    if (!embed) {
        for (const std::string& name : demo->side_file_names())
            check_side_file_name(name);
    }

    std::filesystem::create_directories(output);
    const SideFileFolder folder(output);
    const std::string text = demo->to_json(!embed).dump(2) + "\n";
    write_side_file("project.json", reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return 0;
}

}  // namespace demo
