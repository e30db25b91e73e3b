// Packs an empty demo onto a copy of the player: about ten seconds of black, no music.
// Usage: pack_empty_demo PLAYER OUTPUT
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "serialization/demo.h"
#include "serialization/output_stream.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pack_empty_demo PLAYER OUTPUT\n");
        return 2;
    }
    std::ifstream player(argv[1], std::ios::binary);
    if (!player) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(player)), {});

    // 20 beats at 120 bpm from beat 0: ten seconds of clock.
    demo::Demo empty;
    empty.end_beat = 20.0f;
    empty.bpm = 120.0f;
    empty.beat_offset = 0.0f;
    std::vector<uint8_t> package;
    demo::OutputStream out(package);
    empty.write_binary(out);

    const uint32_t size = static_cast<uint32_t>(package.size());
    bytes.insert(bytes.end(), package.begin(), package.end());
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(size >> (8 * i)));
    for (char c : {'D', 'E', 'M', 'O'}) bytes.push_back(static_cast<uint8_t>(c));

    std::ofstream output(argv[2], std::ios::binary | std::ios::trunc);
    output.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!output) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    output.close();
    chmod(argv[2], 0755);
    return 0;
}
