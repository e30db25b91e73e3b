// demotool info: what a demo maker wants to know about a package before a show.
#include <cstdio>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "package_file.h"

namespace demo {

namespace {

constexpr const char* kInfoHelp =
    "usage: demotool info INPUT\n"
    "\n"
    "Describes the demo inside a packed player or bare package: its collections and their\n"
    "names, the bytes of its contents, its timing and length, and every reference that\n"
    "resolves to nothing.\n";

std::string human_bytes(uint64_t bytes) {
    char text[64];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB (%llu bytes)", bytes / 1024.0,
                      static_cast<unsigned long long>(bytes));
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB (%llu bytes)", bytes / (1024.0 * 1024.0),
                      static_cast<unsigned long long>(bytes));
    }
    return text;
}

}  // namespace

int run_info(const Arguments& args) {
    const ParsedArguments parsed = parse_arguments(args, {}, {});
    if (parsed.help) {
        std::fputs(kInfoHelp, stdout);
        return 0;
    }
    if (parsed.positional.size() != 1) throw UsageError{"expects one INPUT"};

    const PackageBytes package = load_package_file(parsed.positional[0]);
    std::unique_ptr<Demo> demo = read_package(package);

    std::printf("%s: %s of %s\n", parsed.positional[0].c_str(),
                package.packed ? "packed player with a package" : "bare package",
                human_bytes(package.size).c_str());
    std::printf("\nCollections (%llu objects):\n",
                static_cast<unsigned long long>(demo->total_objects));
    for (size_t index = 0; index < kCollectionNames.size(); ++index) {
        std::printf("  %-14s %llu\n", std::string(kCollectionNames[index]).c_str(),
                    static_cast<unsigned long long>(demo->collection_size(index)));
        if (kCollectionNames[index] == "datas") {
            for (const auto& data : demo->datas) {
                std::printf("    %s (%s)\n", data->name.c_str(),
                            human_bytes(data->buffer ? data->buffer->size() : 0).c_str());
            }
        }
    }

    uint64_t data_bytes = 0;
    for (const auto& data : demo->datas) data_bytes += data->buffer ? data->buffer->size() : 0;
    std::printf("\nContents:\n");
    std::printf("  data blobs     %s\n", human_bytes(data_bytes).c_str());
    std::printf("  music          %s\n", human_bytes(demo->music ? demo->music->size() : 0).c_str());

    std::printf("\nTiming:\n");
    std::printf("  tempo          %g bpm\n", demo->bpm);
    std::printf("  beat offset    %g beats\n", demo->beat_offset);
    std::printf("  end beat       %g\n", demo->end_beat);
    if (demo->bpm > 0.0f) {
        // The clock gives beat = ms * bpm / 60000 - offset, so the end beat falls at this time.
        const double seconds = (demo->end_beat + demo->beat_offset) * 60.0 / demo->bpm;
        std::printf("  length         %.2f s\n", seconds);
    } else {
        std::printf("  length         never ends (the tempo is not positive)\n");
    }

    std::printf("\nReferences: all resolve\n");
    return 0;
}

}  // namespace demo
