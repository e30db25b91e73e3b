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
#include "common/package_file.h"
#include "player/package_trailer.h"

namespace demo {

namespace {

constexpr const char* kPackHelp =
    "usage: demotool pack PROJECT.json -o OUT [--raw] [--target linux|windows|native]\n"
    "                     [--player PATH] [--force]\n"
    "\n"
    "Reads the project document (side files relative to its folder) and writes OUT: a copy of\n"
    "the player followed by the demo package and its trailer, marked executable.\n"
    "\n"
    "  -o, --output OUT   file to write\n"
    "  --raw              write the bare package instead (no player, no trailer)\n"
    "  --target T         the machines the demo is for, each with its own player beside\n"
    "                     demotool:\n"
    "                       native   this build's player, demoplayer-stripped (the default)\n"
    "                       linux    demoplayer-linux, for any Linux desktop with glibc 2.34\n"
    "                       windows  demoplayer-windows.exe, for Windows 10 and later; OUT\n"
    "                                gets the extension .exe when it has none\n"
    "  --player PATH      the player to copy, as it is, instead of the target's\n"
    "  --force            pack even when the project has problems (see below)\n"
    "\n"
    "A project with problems is refused, with the messages 'demotool check' gives for them:\n"
    "keys no reader takes, values of the wrong type or out of range, missing side files, and\n"
    "references that name nothing. (Shaders are compiled by check only: pack needs no\n"
    "display.)\n";

// What each --target appends the package to: a file beside demotool, and the extension the
// output gets when it has none.
struct PackTarget {
    const char* name;
    const char* player;
    const char* extension;
};

constexpr PackTarget kTargets[] = {
    {"native", "demoplayer-stripped", ""},
    {"linux", "demoplayer-linux", ""},
    {"windows", "demoplayer-windows.exe", ".exe"},
};

const PackTarget& find_target(const std::string& name) {
    for (const PackTarget& target : kTargets) {
        if (name == target.name)
            return target;
    }
    throw UsageError{"--target needs linux, windows or native, not '" + name + "'"};
}

// The folder of the running demotool, where the build puts the players.
std::filesystem::path demotool_folder() {
    char path[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    return length > 0 ? std::filesystem::path(std::string(path, length)).parent_path() : ".";
}

// The player a demo is handed out with: the target's player beside demotool. For this
// machine, the stripped copy the build makes, so the file stays small, or the full player
// where there is none; the portable players exist only when they were built.
std::string default_player_path(const PackTarget& target) {
    const std::filesystem::path folder = demotool_folder();
    const std::filesystem::path player = folder / target.player;
    std::error_code ignored;
    if (std::filesystem::exists(player, ignored))
        return player.string();
    if (std::string(target.name) == "native")
        return (folder / "demoplayer").string();
    throw std::runtime_error("there is no " + std::string(target.name) + " player at " +
                             player.string() +
                             ": scripts/build-portable.sh builds it, or name one with --player");
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
        parse_command(args, kPackHelp, "PROJECT.json", {"--output", "--player", "--target"},
                      {"--raw", "--force"});
    if (parsed.help)
        return 0;
    const std::string output = parsed.value("--output");
    if (output.empty())
        throw UsageError{"needs -o OUT"};

    const PackTarget& target = find_target(parsed.value("--target", "native"));
    const bool raw = parsed.flag("--raw");

    // Paths are taken from where the tool was started, as given.
    std::filesystem::path output_file = std::filesystem::absolute(output);
    if (!raw && !output_file.has_extension())
        output_file += target.extension;
    const std::string output_path = output_file.string();
    std::string player_path;
    if (!raw) {
        player_path = parsed.value("--player");
        player_path = std::filesystem::absolute(player_path.empty() ? default_player_path(target)
                                                                    : player_path)
                          .string();
    }

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
