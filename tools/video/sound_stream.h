// The sound side of a video export: the offline mix (44.1 kHz, 16-bit, interleaved stereo)
// converted to the encoder's sample format and rate, cut into the encoder's frame size and
// encoded into one stream of the muxer. Buffers are allocated once, up front.
#pragma once

#include <cstdint>

#include "av_handles.h"
#include "video_format.h"

namespace demo {

class SoundStream {
public:
    static constexpr int kMixRate = 44100;

    // Adds the stream to `muxer` (before its header is written) and opens the encoder.
    // `max_chunk` is the most frames a single encode() call converts at once.
    SoundStream(AVFormatContext* muxer, const VideoFormat& format, int max_chunk);

    // Encodes `frames` stereo frames of the mix that follow the ones given before.
    void encode(const int16_t* stereo, int64_t frames);

    // Encodes what the resampler and the last partial frame still hold, and drains the encoder.
    void flush();

private:
    void convert(const int16_t* stereo, int frames);
    void send_frames(bool include_partial);

    AVFormatContext* muxer_;
    AVStream* stream_ = nullptr;
    AvPtr<AVCodecContext> encoder_;
    AvPtr<SwrContext> resampler_;
    AvPtr<AVFrame> converted_;  // resampler output, max_chunk worth
    AvPtr<AVAudioFifo> pending_;
    AvPtr<AVFrame> frame_;  // one encoder frame
    AvPtr<AVPacket> packet_;
    int max_chunk_;
    int capacity_ = 0;
    int frame_size_ = 0;
    int64_t next_pts_ = 0;
};

}  // namespace demo
