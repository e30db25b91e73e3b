#include "video_encoder.h"

#include <stdexcept>

namespace demo {

VideoEncoder::VideoEncoder(const std::string& path, const VideoSettings& settings) : file_(path) {
    // Problems come back as error codes and reach the user in one message; the libraries'
    // own chatter would bury it.
    av_log_set_level(AV_LOG_QUIET);
    const VideoFormat& format = *settings.format;
    AVFormatContext* muxer = nullptr;
    check_av(avformat_alloc_output_context2(&muxer, nullptr, format.muxer, file_.path().c_str()),
             std::string("cannot set up the ") + format.muxer + " container");
    muxer_.reset(muxer);
    picture_ = std::make_unique<PictureStream>(muxer, format, settings.width, settings.height,
                                               settings.fps, settings.crf);
    sound_ = std::make_unique<SoundStream>(muxer, format, settings.max_sound_chunk);
    // "file:" keeps a colon in the path from being read as a protocol name.
    check_av(avio_open(&muxer->pb, ("file:" + file_.path()).c_str(), AVIO_FLAG_WRITE),
             "cannot write " + path);
    AVDictionary* options = nullptr;
    av_dict_parse_string(&options, format.muxer_options, "=", ":", 0);
    const int written = avformat_write_header(muxer, &options);
    av_dict_free(&options);
    check_av(written, "cannot write " + path);
}

void VideoEncoder::finish() {
    picture_->flush();
    sound_->flush();
    check_av(av_write_trailer(muxer_.get()), "cannot complete the video");
    check_av(avio_closep(&muxer_->pb), "cannot complete the video");
    file_.commit();
}

}  // namespace demo
