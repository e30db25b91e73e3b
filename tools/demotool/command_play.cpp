// demotool play: the live preview demo makers work with while they edit.
#include <SDL.h>

#include <cstdio>
#include <string>
#include <utility>

#include "command_line.h"
#include "commands.h"
#include "preview/preview.h"

namespace demo {

namespace {

constexpr const char* kPlayHelp =
    "usage: demotool play INPUT [--from BEAT] [--loop B0:B1] [--size WxH] [--no-watch]\n"
    "\n"
    "Plays the demo of a project document (read in place, side files beside it), a packed\n"
    "player or a bare package in a window, with the player's own loading, frames and sound.\n"
    "\n"
    "  --from BEAT     start at BEAT; Home comes back to it (default: the music's start)\n"
    "  --loop B0:B1    play from B0 up to B1 and jump back, music included; starts at B0\n"
    "                  unless --from says otherwise\n"
    "  --size WxH      the window's size (default 1280x720); the window can be resized\n"
    "  --no-watch      do not reload when files are saved (R still reloads)\n"
    "\n"
    "Keys: Space pauses and resumes; Left and Right seek 4 beats (16 with Shift); Home goes\n"
    "back to --from or the start; L turns the loop on and off (without --loop, four bars from\n"
    "the current bar); R reloads the whole demo; Escape quits.\n"
    "\n"
    "While it plays, a saved shader file rebuilds that program alone (and those that include\n"
    "it): when it fails, the last good build stays in use and the compile messages are printed\n"
    "with file and line. A saved project document or any other side file (or a re-packed\n"
    "package) reloads the whole demo at the current beat. The title shows the beat, the bar,\n"
    "the frame rate, the active events and the latest problem.\n"
    "\n"
    "A project whose music file (resources/music.mp3) is not there yet plays on the clock\n"
    "alone, and picks the music up when the file appears.\n";

// "B0:B1" with B0 before B1.
std::pair<float, float> parse_loop(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        throw UsageError{"--loop needs B0:B1, for example 16:32, not '" + text + "'"};
    const float start = parse_float(text.substr(0, colon), "--loop");
    const float end = parse_float(text.substr(colon + 1), "--loop");
    if (!(start < end))
        throw UsageError{"--loop needs B0 before B1, not '" + text + "'"};
    return {start, end};
}

}  // namespace

int run_play(const Arguments& args) {
    const ParsedArguments parsed =
        parse_command(args, kPlayHelp, "INPUT", {"--from", "--loop", "--size"}, {"--no-watch"});
    if (parsed.help)
        return 0;
    PreviewOptions options;
    options.input = parsed.positional[0];
    if (!parsed.value("--from").empty())
        options.from = parse_float(parsed.value("--from"), "--from");
    if (!parsed.value("--loop").empty())
        options.loop = parse_loop(parsed.value("--loop"));
    if (!parsed.value("--size").empty())
        parse_size(parsed.value("--size"), options.width, options.height);
    options.watch = !parsed.flag("--no-watch");

    // An editor or `| tee` reads the preview's progress as it happens, not when it ends: one
    // line at a time, even through a pipe. Problems go to standard error, which is unbuffered.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Preview preview(options, SDL_GetTicks());
    preview.run();
    return 0;
}

}  // namespace demo
