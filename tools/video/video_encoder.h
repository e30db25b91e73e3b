// One video file with picture and sound, written through FFmpeg's libraries under a temporary
// name beside the output and renamed to it by finish(); destroyed unfinished (an error, an
// interruption) it leaves nothing under the output's name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "av_handles.h"
#include "picture_stream.h"
#include "sound_stream.h"
#include "temporary_file.h"
#include "video_format.h"

namespace demo {

struct VideoSettings {
    const VideoFormat* format = nullptr;
    int width = 0;
    int height = 0;
    int fps = 60;
    int crf = 18;
    int max_sound_chunk = SoundStream::kMixRate;  // most mix frames passed to one encode_sound
};

class VideoEncoder {
public:
    // Creates the temporary file, sets up both streams and writes the header. Throws
    // std::runtime_error (the folder is missing, an encoder is missing or refuses the settings).
    VideoEncoder(const std::string& path, const VideoSettings& settings);

    // Converts one RGBA picture, bottom row first, for the next encode_picture().
    void convert_picture(const uint8_t* rgba_bottom_up) { picture_->convert(rgba_bottom_up); }
    // Encodes the converted picture as the next frame.
    void encode_picture() { picture_->encode(); }
    // Encodes the next `frames` frames of the 44.1 kHz stereo mix.
    void encode_sound(const int16_t* stereo, int64_t frames) { sound_->encode(stereo, frames); }

    // Drains both encoders, completes the file and gives it its final name.
    void finish();

private:
    TemporaryFile file_;  // declared first: removed after the muxer has closed it
    AvPtr<AVFormatContext> muxer_;
    std::unique_ptr<PictureStream> picture_;
    std::unique_ptr<SoundStream> sound_;
};

}  // namespace demo
