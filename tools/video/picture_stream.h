// The picture side of a video export: RGBA frames as the player reads them back, converted
// to YUV 4:2:0 (BT.709, video range) and encoded into one stream of the muxer. Everything a
// frame passes through is allocated once, up front.
#pragma once

#include <cstdint>

#include "av_handles.h"
#include "video_format.h"

namespace demo {

class PictureStream {
public:
    // Adds the stream to `muxer` (before its header is written) and opens the encoder.
    // Throws std::runtime_error when FFmpeg lacks the encoder or refuses the settings.
    PictureStream(AVFormatContext* muxer, const VideoFormat& format, int width, int height, int fps,
                  int crf);

    // Converts one picture of width x height RGBA pixels, bottom row first (as OpenGL reads
    // them), into the frame that encode() sends next.
    void convert(const uint8_t* rgba_bottom_up);

    // Encodes the converted frame as the next one in time and writes what the encoder returns.
    void encode();

    // Drains the encoder at the end of the video.
    void flush();

private:
    AVFormatContext* muxer_;
    AVStream* stream_ = nullptr;
    AvPtr<AVCodecContext> encoder_;
    AvPtr<SwsContext> converter_;
    AvPtr<AVFrame> frame_;
    AvPtr<AVPacket> packet_;
    int width_;
    int height_;
    int64_t next_pts_ = 0;
};

}  // namespace demo
