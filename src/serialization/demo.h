// The root of a demo: every resource in eleven collections, the music and the timing values.
// Its binary form is the demo package.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "serialization/byte_buffer.h"
#include "serialization/serializable.h"

namespace demo {

// The collections in package order; every loop over all of them follows this order.
inline constexpr std::array<std::string_view, 11> kCollectionNames = {
    "events", "effects", "shaders",  "textures", "audio_samples", "event_groups",
    "fonts",  "font_textures", "datas", "models", "scenes"};

class Demo : public ISerializable {
public:
    ByteBuffer music;
    float end_beat = 480.0f;
    float bpm = 130.0f;
    float beat_offset = 0.5f;
    uint64_t total_objects = 0;

    Demo() = default;
    // Reads the whole package from the stream's position.
    explicit Demo(InputStream& in);

    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    // Called after every object read, and once at the end with both values equal.
    virtual void load_progress(uint64_t objects_read, uint64_t total);

    // Compiles every shader program, then prepares every effect.
    void prepare_after_load();
    // Draws every effect once, without program hook and without its inputs.
    void prime_effects();
};

}  // namespace demo
