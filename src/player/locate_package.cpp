#include "player/locate_package.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "base/fatal_error.h"
#include "demo/demo.h"
#include "player/platform.h"
#include "player/player_media.h"
#include "serialization/input_stream.h"

namespace demo {

namespace {

[[noreturn]] void fail(const std::string& line) {
    throw PackageUnreadable(line + "\n");
}

}  // namespace

std::unique_ptr<Demo> locate_package(const std::string& executable_path) {
    std::FILE* file = open_file(executable_path, "rb");
    if (file == nullptr) {
        fail("Cannot open the player executable " + executable_path +
             " for reading: " + std::strerror(errno));
    }

    // The trailer is the last eight bytes; a file shorter than that cannot carry one.
    std::fseek(file, 0, SEEK_END);
    const long end = std::ftell(file);
    const uint64_t file_size = end > 0 ? static_cast<uint64_t>(end) : 0;
    uint8_t trailer[kTrailerSize] = {};
    uint64_t trailer_length = 0;
    if (file_size >= kTrailerSize && std::fseek(file, -8, SEEK_END) == 0) {
        trailer_length = std::fread(trailer, 1, kTrailerSize, file);
    }

    PackageLocation location;
    switch (parse_trailer(trailer, trailer_length, file_size, location)) {
        case TrailerStatus::NoTrailer:
            throw PackageUnreadable(kMissingPackageText);
        case TrailerStatus::SizeBeforeStart:
            fail("The demo package is corrupt: its trailer gives a size of " +
                 std::to_string(location.size) + " bytes, which points before the start of the " +
                 std::to_string(file_size) + "-byte executable.");
        case TrailerStatus::Found:
            break;
    }

    if (std::fseek(file, static_cast<long>(location.offset), SEEK_SET) != 0) {
        fail("Cannot seek to the demo package at offset " + std::to_string(location.offset));
    }

    // The demo is only published once it is complete: include expansion while compiling
    // relies on `current_demo` being unset during the read.
    std::unique_ptr<Demo> loaded;
    try {
        static PlayerMedia media;
        InputStream in(file, location.size);
        loaded = std::make_unique<Demo>(in, &media);
    } catch (const std::bad_alloc&) {
        fail("Not enough memory to load the demo package.");
    } catch (const std::exception& e) {
        fail(std::string("Cannot load the demo package: ") + e.what());
    }
    std::fclose(file);
    return loaded;
}

}  // namespace demo
