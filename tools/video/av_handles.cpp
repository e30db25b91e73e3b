#include "av_handles.h"

#include <stdexcept>

namespace demo {

std::string av_error_text(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

int check_av(int code, const std::string& what) {
    if (code < 0)
        throw std::runtime_error(what + ": " + av_error_text(code));
    return code;
}

void open_encoder(AVCodecContext* encoder, const AVCodec* codec, const char* options, int crf) {
    AVDictionary* settings = nullptr;
    av_dict_parse_string(&settings, options, "=", ":", 0);
    if (crf >= 0)
        av_dict_set_int(&settings, "crf", crf, 0);
    const int opened = avcodec_open2(encoder, codec, &settings);
    // What the encoder did not take is left in the dictionary.
    const AVDictionaryEntry* ignored = av_dict_get(settings, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    const std::string ignored_key = ignored != nullptr ? ignored->key : "";
    av_dict_free(&settings);
    check_av(opened, std::string("cannot open the ") + codec->name + " encoder");
    if (!ignored_key.empty()) {
        throw std::runtime_error(std::string("the ") + codec->name + " encoder has no option " +
                                 ignored_key);
    }
}

void encode_and_write(AVCodecContext* encoder, const AVFrame* frame, AVStream* stream,
                      AVFormatContext* muxer, AVPacket* packet) {
    check_av(avcodec_send_frame(encoder, frame), "cannot encode");
    for (;;) {
        const int result = avcodec_receive_packet(encoder, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        check_av(result, "cannot encode");
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        // The muxer takes the packet's data and leaves it empty for the next one.
        check_av(av_interleaved_write_frame(muxer, packet), "cannot write the video");
    }
}

}  // namespace demo
