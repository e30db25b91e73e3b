// A TrueType font held in memory, opened at one point size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serialization/byte_buffer.h"
#include "serialization/serializable.h"

typedef struct _TTF_Font TTF_Font;

namespace demo {

class Font : public ISerializable {
public:
    std::string name;                         // key font textures refer to it by
    std::string filename;                     // the font file's path in a project
    std::unique_ptr<ByteBuffer> font_buffer;  // must outlive `ttf_font`, which reads from it
    int32_t ptsize = 0;
    TTF_Font* ttf_font = nullptr;  // none until opened, or when it cannot be

    Font() = default;
    explicit Font(InputStream& in) { read_binary(in); }
    explicit Font(const Json& value) { from_json(value); }

    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;
};

}  // namespace demo
