// Owning handles for the FFmpeg objects of a video export, so every exit path releases them,
// and the two calls every stream makes: error checking and handing encoded packets on.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace demo {

struct AvDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
    void operator()(SwrContext* resampler) const { swr_free(&resampler); }
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
    // Closes the output file too, when the muxer opened one.
    void operator()(AVFormatContext* format) const {
        if (format->pb != nullptr &&
            (format->oformat == nullptr || (format->oformat->flags & AVFMT_NOFILE) == 0)) {
            avio_closep(&format->pb);
        }
        avformat_free_context(format);
    }
};

template <typename T>
using AvPtr = std::unique_ptr<T, AvDeleter>;

// FFmpeg's text for an error code.
std::string av_error_text(int code);

// Throws std::runtime_error naming `what` when `code` is an FFmpeg error; returns it otherwise.
int check_av(int code, const std::string& what);

// Opens `encoder` with `options` ("key=value:key=value") and, when `crf` is not negative, that
// constant quality. Throws std::runtime_error when the encoder refuses or ignores an option.
void open_encoder(AVCodecContext* encoder, const AVCodec* codec, const char* options, int crf);

// Sends `frame` (null to drain the encoder) and writes every packet the encoder then has
// ready into `stream` of `muxer`, reusing `packet`.
void encode_and_write(AVCodecContext* encoder, const AVFrame* frame, AVStream* stream,
                      AVFormatContext* muxer, AVPacket* packet);

}  // namespace demo
