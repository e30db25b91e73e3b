// The video files render can write, chosen by the output's extension: the container and the
// encoders FFmpeg uses for it, with the settings demo videos want.
#pragma once

#include <string>

namespace demo {

struct VideoFormat {
    const char* extension;      // lower case, with the dot
    const char* muxer;          // FFmpeg's name of the container
    const char* video_encoder;  // FFmpeg's name of the encoder
    const char* video_options;  // encoder options, "key=value:key=value"
    int default_crf;
    int max_crf;
    const char* audio_encoder;
    int sample_rate;
    int audio_bit_rate;
    const char* muxer_options;
};

// The format for `path`'s extension (case does not matter), or null when it names none.
const VideoFormat* find_video_format(const std::string& path);

// The extensions find_video_format knows, for messages: ".mp4, .mkv, .webm".
std::string video_extensions();

}  // namespace demo
