#include "video_export.h"

#include <chrono>
#include <stdexcept>

#include "common/progress_bar.h"
#include "demo/offline_mix.h"
#include "interrupt_watch.h"
#include "offscreen/offscreen_player.h"

namespace demo {

void export_video(OffscreenPlayer& player, const OfflineMix& mix, const std::vector<float>& beats,
                  int64_t first_mix_frame, const std::string& path, VideoSettings settings,
                  ExportTimes* times) {
    // The mix frames that fall in one video frame, rounded up; every buffer is made here, once.
    const int64_t rate = OfflineMix::kFrequency;
    settings.max_sound_chunk = static_cast<int>((rate + settings.fps - 1) / settings.fps);
    std::vector<uint8_t> pixels(static_cast<size_t>(settings.width) * settings.height * 4);
    std::vector<int16_t> sound(static_cast<size_t>(settings.max_sound_chunk) *
                               OfflineMix::kChannels);
    // Watching from before the temporary file exists, so an interruption always removes it.
    const InterruptWatch watch;
    VideoEncoder encoder(path, settings);

    ExportTimes ignored;
    ExportTimes& spent = times != nullptr ? *times : ignored;
    auto mark = std::chrono::steady_clock::now();
    // Adds the time since the last lap to `stage`.
    auto lap = [&mark](double& stage) {
        const auto now = std::chrono::steady_clock::now();
        stage += std::chrono::duration<double>(now - mark).count();
        mark = now;
    };

    ProgressBar bar("Encoding", "frames");
    int64_t sound_done = 0;
    for (size_t i = 0; i < beats.size(); ++i) {
        if (watch.interrupted())
            throw std::runtime_error("interrupted; no video written");
        player.render(beats[i], mix);
        lap(spent.rendering);
        player.read_back(pixels.data());
        player.swap();
        lap(spent.readback);
        encoder.convert_picture(pixels.data());
        lap(spent.conversion);
        encoder.encode_picture();
        // The sound up to the end of this frame, counted from the first frame's time so that
        // rounding never accumulates.
        const int64_t sound_end = static_cast<int64_t>(i + 1) * rate / settings.fps;
        mix.frames_into(first_mix_frame + sound_done, sound_end - sound_done, sound.data());
        encoder.encode_sound(sound.data(), sound_end - sound_done);
        sound_done = sound_end;
        bar.update(i + 1, beats.size());
        lap(spent.encoding);
    }
    encoder.finish();
    lap(spent.encoding);
    bar.finish();
}

}  // namespace demo
