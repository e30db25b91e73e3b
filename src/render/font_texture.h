// A fixed-size RGBA texture into which a text is rendered whenever the text changes.
#pragma once

#include <cstdint>
#include <string>

#include "serialization/id_registry.h"
#include "serialization/json_key_maps.h"
#include "serialization/object_ref.h"
#include "serialization/serializable.h"

struct SDL_Surface;

namespace demo {

class FontTexture : public ISerializable {
public:
    std::string name;  // also the name of the track that supplies its text
    int32_t width = 0;
    int32_t height = 0;  // `width` is also the wrapping width
    ObjectRef<Font> font;
    bool center = false;
    int32_t chars_per_beat = -1;  // typing rate; -1 shows each text whole
    SDL_Surface* surface = nullptr;
    uint32_t texture_id = 0;
    std::string text;  // the text currently rendered

    // Counts renderings, so the cost of typed-on text can be seen and tested.
    uint64_t render_count = 0;

    FontTexture() = default;
    explicit FontTexture(InputStream& in) { read_binary(in); }
    explicit FontTexture(const Json& value) { from_json(value); }
    ~FontTexture() override;

    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    void resolve_references(const IdRegistry& registry);
    void resolve_references(const JsonKeyMaps& keys);
};

}  // namespace demo
