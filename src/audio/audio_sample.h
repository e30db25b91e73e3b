// A short sound that audio-sample events fire on a beat, ducking the music while it plays.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "serialization/byte_buffer.h"
#include "serialization/serializable.h"

struct Mix_Chunk;

namespace demo {

class AudioSample : public ISerializable {
public:
    std::unique_ptr<ByteBuffer> audio_buffer;  // the encoded sound file
    Mix_Chunk* chunk = nullptr;                // decoded sample, or none
    std::string name;                          // also the side file's path in a project
    uint32_t duration_ms = 0;                  // decoded length, 0 without a chunk

    // Plays started whose restore timer has not run yet: each holds a pointer to the sample.
    // Shared with the timers on SDL's timer thread.
    std::atomic<int32_t> playing{0};
    // Not started while set: after a jump on the timeline the authoring tool's preview holds
    // the samples whose beat lies behind the new position. The player never sets it.
    bool held = false;

    AudioSample() = default;
    explicit AudioSample(InputStream& in) { read_binary(in); }
    explicit AudioSample(const Json& value) { from_json(value); }

    // Embedded: {"name", "audio_buffer"}; exported: {"name"} with the bytes in the file `name`.
    Json to_json(bool export_files) const override;
    // `name`, then the sound file's bytes (an empty buffer when there are none).
    void write_binary(OutputStream& out) const override;
    // "audio_buffer" wins over the side file; a missing side file is fatal.
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    // Bytes of the encoded sound file.
    uint64_t encoded_size() const { return audio_buffer ? audio_buffer->size() : 0; }
};

// Length in milliseconds of `decoded_bytes` of signed 16-bit audio at the given format,
// computed in 64 bits so long samples keep their true length.
uint32_t sample_duration_ms(uint64_t decoded_bytes, int32_t channels, int32_t frequency);

}  // namespace demo
