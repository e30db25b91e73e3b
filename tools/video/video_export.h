// render's video output: every frame drawn at its beat, read back and encoded, with the
// offline mix encoded alongside so that sound and picture start together.
#pragma once

#include <string>
#include <vector>

#include "video_encoder.h"

namespace demo {

class OfflineMix;
class OffscreenPlayer;

// Wall-clock seconds that export_video spent in each stage.
struct ExportTimes {
    double rendering = 0.0;   // the frame walk, with the sound analysis, until the GPU is done
    double readback = 0.0;    // the picture from the GPU into memory
    double conversion = 0.0;  // RGBA to YUV 4:2:0
    double encoding = 0.0;    // picture and sound encoders, and the muxer
};

// Draws `beats` (one per frame at settings.fps) with `player` and writes them to `path`, with
// the frames of `mix` from `first_mix_frame` on as the sound. Nothing is left under `path`
// when it throws. Adds the time of each stage to `times` when given.
void export_video(OffscreenPlayer& player, const OfflineMix& mix, const std::vector<float>& beats,
                  int64_t first_mix_frame, const std::string& path, VideoSettings settings,
                  ExportTimes* times = nullptr);

}  // namespace demo
