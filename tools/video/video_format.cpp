#include "video_format.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace demo {

namespace {

// H.264 and AAC play everywhere; WebM keeps to the royalty-free VP9 and Opus. Opus only runs
// at 48 kHz, so the 44.1 kHz mix is resampled for it. VP9 gets constant quality (no bit rate)
// and the faster of its good-quality speeds, with rows encoded in parallel.
constexpr VideoFormat kFormats[] = {
    {".mp4", "mp4", "libx264", "preset=medium", 18, 51, "aac", 44100, 192000,
     "movflags=+faststart"},
    {".mkv", "matroska", "libx264", "preset=medium", 18, 51, "aac", 44100, 192000, ""},
    {".webm", "webm", "libvpx-vp9", "b=0:deadline=good:cpu-used=4:row-mt=1", 31, 63, "libopus",
     48000, 128000, ""},
};

}  // namespace

const VideoFormat* find_video_format(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const VideoFormat& format : kFormats) {
        if (extension == format.extension)
            return &format;
    }
    return nullptr;
}

std::string video_extensions() {
    std::string list;
    for (const VideoFormat& format : kFormats)
        list += (list.empty() ? "" : ", ") + std::string(format.extension);
    return list;
}

}  // namespace demo
