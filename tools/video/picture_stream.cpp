#include "picture_stream.h"

#include <stdexcept>
#include <string>

namespace demo {

PictureStream::PictureStream(AVFormatContext* muxer, const VideoFormat& format, int width,
                             int height, int fps, int crf)
    : muxer_(muxer), width_(width), height_(height) {
    const AVCodec* codec = avcodec_find_encoder_by_name(format.video_encoder);
    if (codec == nullptr) {
        throw std::runtime_error(std::string("this FFmpeg has no ") + format.video_encoder +
                                 " encoder");
    }
    stream_ = avformat_new_stream(muxer, nullptr);
    encoder_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (stream_ == nullptr || !encoder_ || !frame_ || !packet_)
        throw std::bad_alloc();

    AVCodecContext* c = encoder_.get();
    c->width = width;
    c->height = height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, fps};
    c->framerate = AVRational{fps, 1};
    // Tagged, so players convert back with the matrix the pixels were made with.
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = AVCOL_SPC_BT709;
    c->color_primaries = AVCOL_PRI_BT709;
    c->color_trc = AVCOL_TRC_BT709;
    if ((muxer->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    open_encoder(c, codec, format.video_options, crf);
    check_av(avcodec_parameters_from_context(stream_->codecpar, c), "cannot set up the video");
    stream_->time_base = c->time_base;
    stream_->avg_frame_rate = c->framerate;

    frame_->format = c->pix_fmt;
    frame_->width = width;
    frame_->height = height;
    check_av(av_frame_get_buffer(frame_.get(), 0), "cannot allocate a video frame");
    converter_.reset(sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height,
                                    AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!converter_)
        throw std::runtime_error("cannot set up the colour conversion");
    // Full-range RGB in, BT.709 video range out, matching the tags above.
    sws_setColorspaceDetails(converter_.get(), sws_getCoefficients(SWS_CS_ITU709), 1,
                             sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
}

void PictureStream::convert(const uint8_t* rgba_bottom_up) {
    // The encoder copies what it keeps, so this only reallocates if it ever holds on to the
    // frame's buffers.
    check_av(av_frame_make_writable(frame_.get()), "cannot allocate a video frame");
    // Starting at the last row with a negative stride turns the picture the right way up
    // inside the conversion, with no extra copy.
    const int stride = width_ * 4;
    const uint8_t* source = rgba_bottom_up + static_cast<ptrdiff_t>(height_ - 1) * stride;
    const int negative_stride = -stride;
    sws_scale(converter_.get(), &source, &negative_stride, 0, height_, frame_->data,
              frame_->linesize);
}

void PictureStream::encode() {
    frame_->pts = next_pts_++;
    encode_and_write(encoder_.get(), frame_.get(), stream_, muxer_, packet_.get());
}

void PictureStream::flush() {
    encode_and_write(encoder_.get(), nullptr, stream_, muxer_, packet_.get());
}

}  // namespace demo
