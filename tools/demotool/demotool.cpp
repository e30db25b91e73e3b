// demotool: the authoring side's command-line tool. Packs project documents into players,
// unpacks packages into projects, describes, checks, renders and plays demos. Only check,
// render and play need a display.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "base/chatter.h"
#include "base/fatal_error.h"
#include "commands.h"
#include "serialization/package_error.h"

namespace {

constexpr const char* kUsage =
    "usage: demotool COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  new DIR            write a starter project into the empty folder DIR\n"
    "  pack PROJECT.json -o OUT [--raw] [--target linux|windows|native] [--player PATH]\n"
    "       [--force]\n"
    "                     pack a project into a playable copy of the player\n"
    "  unpack INPUT -o DIR [--embed]\n"
    "                     write the project of a packed player or bare package\n"
    "  info INPUT         describe the demo\n"
    "  check INPUT        load the demo as the player would and report every problem\n"
    "  render INPUT -o OUT (--beat B | --from B0 --to B1 --fps N) [--size WxH] [--crf Q]\n"
    "         [--wav FILE] [--force]\n"
    "                     render frames offscreen (and the mixed sound), or a video when\n"
    "                     OUT ends in .mp4, .mkv or .webm\n"
    "  play INPUT [--from BEAT] [--loop B0:B1] [--size WxH] [--no-watch]\n"
    "                     play in a window; pause, seek, loop, reload on save\n"
    "\n"
    "INPUT is a project document, a packed player or a bare package, told apart by content.\n"
    "docs/reference.md describes the project form, the shader interface and every command.\n"
    "Run 'demotool COMMAND --help' for the options of a command.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    // Standard output carries what a command reports; what loading says goes beside it.
    demo::send_chatter_to_stderr();
    demo::Arguments args(argv + 2, argv + argc);
    try {
        if (command == "new")
            return demo::run_new(args);
        if (command == "pack")
            return demo::run_pack(args);
        if (command == "unpack")
            return demo::run_unpack(args);
        if (command == "info")
            return demo::run_info(args);
        if (command == "render")
            return demo::run_render(args);
        if (command == "check")
            return demo::run_check(args);
        if (command == "play")
            return demo::run_play(args);
        std::fprintf(stderr, "demotool: unknown command '%s'\n\n%s", command.c_str(), kUsage);
        return 2;
    } catch (const demo::UsageError& e) {
        std::fprintf(stderr, "demotool %s: %s\n", command.c_str(), e.message.c_str());
        return 2;
    } catch (const demo::FatalError& e) {
        // A side file that is not there, reported as the player reports it.
        demo::report_fatal_error(e);
        return 1;
    } catch (const demo::PackageError& e) {
        std::fprintf(stderr, "demotool %s: %s\n", command.c_str(), e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "demotool %s: out of memory\n", command.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demotool %s: %s\n", command.c_str(), e.what());
        return 1;
    }
}
