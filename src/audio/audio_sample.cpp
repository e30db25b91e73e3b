#include "audio/audio_sample.h"

#include <limits>

#include "serialization/json_fields.h"
#include "serialization/stored_string.h"

namespace demo {

Json AudioSample::to_json(bool export_files) const {
    Json value = Json::object();
    value["name"] = name;
    buffer_to_json(value, "audio_buffer", audio_buffer, export_files, name);
    return value;
}

void AudioSample::write_binary(OutputStream& out) const {
    write_string(name, out);
    write_buffer_or_empty(out, audio_buffer);
}

void AudioSample::from_json(const Json& value) {
    name = json_string(value, "name");
    audio_buffer = buffer_from_json(value, "audio_buffer", name);
}

void AudioSample::read_binary(InputStream& in) {
    name = read_string(in, "an audio sample's name");
    audio_buffer = std::make_unique<ByteBuffer>(in);
}

uint32_t sample_duration_ms(uint64_t decoded_bytes, int32_t channels, int32_t frequency) {
    if (channels <= 0 || frequency <= 0)
        return 0;
    const uint64_t ms =
        decoded_bytes * 500 / static_cast<uint64_t>(channels) / static_cast<uint64_t>(frequency);
    return ms > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                     : static_cast<uint32_t>(ms);
}

}  // namespace demo
