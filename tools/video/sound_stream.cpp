#include "sound_stream.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace demo {

namespace {

// An audio frame of `samples` in the encoder's format.
AvPtr<AVFrame> audio_frame(const AVCodecContext* encoder, int samples) {
    AvPtr<AVFrame> frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    frame->format = encoder->sample_fmt;
    frame->sample_rate = encoder->sample_rate;
    frame->nb_samples = samples;
    check_av(av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout),
             "cannot set up the sound");
    check_av(av_frame_get_buffer(frame.get(), 0), "cannot allocate a sound frame");
    return frame;
}

}  // namespace

SoundStream::SoundStream(AVFormatContext* muxer, const VideoFormat& format, int max_chunk)
    : muxer_(muxer), max_chunk_(std::max(max_chunk, 1)) {
    const AVCodec* codec = avcodec_find_encoder_by_name(format.audio_encoder);
    if (codec == nullptr || codec->sample_fmts == nullptr) {
        throw std::runtime_error(std::string("this FFmpeg has no ") + format.audio_encoder +
                                 " encoder");
    }
    stream_ = avformat_new_stream(muxer, nullptr);
    encoder_.reset(avcodec_alloc_context3(codec));
    packet_.reset(av_packet_alloc());
    if (stream_ == nullptr || !encoder_ || !packet_)
        throw std::bad_alloc();

    // The resampler's set-up takes the layout as a mutable pointer, so this is no constant.
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    AVCodecContext* c = encoder_.get();
    c->sample_fmt = codec->sample_fmts[0];
    c->sample_rate = format.sample_rate;
    c->bit_rate = format.audio_bit_rate;
    c->time_base = AVRational{1, format.sample_rate};
    check_av(av_channel_layout_copy(&c->ch_layout, &stereo), "cannot set up the sound");
    if ((muxer->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    open_encoder(c, codec, "", -1);
    check_av(avcodec_parameters_from_context(stream_->codecpar, c), "cannot set up the sound");
    stream_->time_base = c->time_base;
    // Encoders that take any frame length get the mixer's own chunk length.
    frame_size_ = c->frame_size > 0 ? c->frame_size : 1024;

    SwrContext* resampler = nullptr;
    check_av(swr_alloc_set_opts2(&resampler, &c->ch_layout, c->sample_fmt, c->sample_rate, &stereo,
                                 AV_SAMPLE_FMT_S16, kMixRate, 0, nullptr),
             "cannot set up the sound conversion");
    resampler_.reset(resampler);
    check_av(swr_init(resampler), "cannot set up the sound conversion");
    // Room for one chunk at the output rate, plus what the resampler may hold back.
    capacity_ = swr_get_out_samples(resampler, max_chunk_) + 256;
    converted_ = audio_frame(c, capacity_);
    frame_ = audio_frame(c, frame_size_);
    pending_.reset(av_audio_fifo_alloc(c->sample_fmt, 2, capacity_ + frame_size_));
    if (!pending_)
        throw std::bad_alloc();
}

void SoundStream::encode(const int16_t* stereo, int64_t frames) {
    while (frames > 0) {
        const int chunk = static_cast<int>(std::min<int64_t>(frames, max_chunk_));
        convert(stereo, chunk);
        send_frames(false);
        stereo += static_cast<ptrdiff_t>(chunk) * 2;
        frames -= chunk;
    }
}

void SoundStream::flush() {
    convert(nullptr, 0);  // the resampler's tail
    send_frames(true);
    encode_and_write(encoder_.get(), nullptr, stream_, muxer_, packet_.get());
}

void SoundStream::convert(const int16_t* stereo, int frames) {
    const uint8_t* input = reinterpret_cast<const uint8_t*>(stereo);
    const int converted = check_av(swr_convert(resampler_.get(), converted_->data, capacity_,
                                               stereo ? &input : nullptr, frames),
                                   "cannot convert the sound");
    // The queue was sized for this, so the write never grows it.
    if (av_audio_fifo_write(pending_.get(), reinterpret_cast<void**>(converted_->data), converted) <
        converted) {
        throw std::runtime_error("cannot queue the sound");
    }
}

void SoundStream::send_frames(bool include_partial) {
    for (;;) {
        const int available = av_audio_fifo_size(pending_.get());
        if (available == 0 || (available < frame_size_ && !include_partial))
            return;
        const int samples = std::min(available, frame_size_);
        check_av(av_frame_make_writable(frame_.get()), "cannot allocate a sound frame");
        // A shorter last frame is padded by the encoder.
        frame_->nb_samples = samples;
        av_audio_fifo_read(pending_.get(), reinterpret_cast<void**>(frame_->data), samples);
        frame_->pts = next_pts_;
        next_pts_ += samples;
        encode_and_write(encoder_.get(), frame_.get(), stream_, muxer_, packet_.get());
    }
}

}  // namespace demo
