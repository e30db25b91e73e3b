// demotool pack: a project document into a playable copy of the player, or a bare package.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "checked_project.h"
#include "command_line.h"
#include "commands.h"
#include "package_file.h"
#include "player/package_trailer.h"

namespace demo {

namespace {

constexpr const char* kPackHelp =
    "usage: demotool pack PROJECT.json -o OUT [--raw] [--player PATH] [--force]\n"
    "\n"
    "Reads the project document (side files relative to its folder) and writes OUT: a copy of\n"
    "the player followed by the demo package and its trailer, marked executable.\n"
    "\n"
    "  -o, --output OUT   file to write\n"
    "  --raw              write the bare package instead (no player, no trailer)\n"
    "  --player PATH      the player to copy, as it is (default: demoplayer-stripped beside\n"
    "                     demotool, the player without debug information, or demoplayer\n"
    "                     where there is no stripped copy)\n"
    "  --force            pack even when the project has problems (see below)\n"
    "\n"
    "A project with problems is refused, with the messages 'demotool check' gives for them:\n"
    "keys no reader takes, values of the wrong type or out of range, missing side files, and\n"
    "references that name nothing. (Shaders are compiled by check only: pack needs no\n"
    "display.)\n";

// The player a demo is handed out with: the stripped copy the build makes in the folder of the
// running demotool, so the file stays small; the full player where there is none.
std::string default_player_path() {
    char path[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    const std::filesystem::path folder =
        length > 0 ? std::filesystem::path(std::string(path, length)).parent_path() : ".";
    const std::filesystem::path stripped = folder / "demoplayer-stripped";
    std::error_code ignored;
    return (std::filesystem::exists(stripped, ignored) ? stripped : folder / "demoplayer").string();
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open the player " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// The project's demo, refused with every problem on standard error unless `force`. A forced
// project with a missing side file still ends at that file.
std::unique_ptr<Demo> checked_read(const std::string& path, bool force) {
    CheckedProject checked = read_checked_project(load_package_file(path));
    const std::vector<std::string> problems = checked.problems();
    for (const std::string& line : problems)
        std::fprintf(stderr, "%s\n", line.c_str());
    if (!problems.empty() && !force) {
        throw std::runtime_error(path + ": " + std::to_string(problems.size()) + " problem" +
                                 (problems.size() == 1 ? "" : "s") +
                                 ", so it is not packed (--force packs it anyway)");
    }
    return checked.complete ? std::move(checked.demo) : read_project(path);
}

}  // namespace

int run_pack(const Arguments& args) {
    const ParsedArguments parsed =
        parse_arguments(args, {"--output", "--player"}, {"--raw", "--force"});
    if (parsed.help) {
        std::fputs(kPackHelp, stdout);
        return 0;
    }
    if (parsed.positional.size() != 1)
        throw UsageError{"expects one PROJECT.json"};
    const std::string output = parsed.value("--output");
    if (output.empty())
        throw UsageError{"needs -o OUT"};

    // Paths are taken from where the tool was started, as given.
    const std::string output_path = std::filesystem::absolute(output).string();
    const std::string player_path =
        std::filesystem::absolute(parsed.value("--player", default_player_path())).string();
    const bool raw = parsed.flag("--raw");

    std::unique_ptr<Demo> demo = checked_read(parsed.positional[0], parsed.flag("--force"));
    const std::vector<uint8_t> package = write_package(*demo);
    if (raw) {
        write_bytes(output_path, package);
        return 0;
    }
    if (package.size() > UINT32_MAX) {
        throw std::runtime_error("the package is " + std::to_string(package.size()) +
                                 " bytes; a packed player holds at most 4 GiB - 1");
    }
    std::vector<uint8_t> bytes = read_file(player_path);
    bytes.insert(bytes.end(), package.begin(), package.end());
    const uint32_t size = static_cast<uint32_t>(package.size());
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(size >> (8 * i)));
    bytes.insert(bytes.end(), std::begin(kTrailerMagic), std::end(kTrailerMagic));
    write_bytes(output_path, bytes);
    chmod(output_path.c_str(), 0755);
    return 0;
}

}  // namespace demo
