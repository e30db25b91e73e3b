// The stored form of a shader program: four strings, the definition count, the definitions
// (name, minimum, maximum, default; never the looked-up location).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "render/shader_program.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/stored_string.h"

namespace demo {
namespace {

void append(std::vector<uint8_t>& bytes, uint64_t v, int size) {
    for (int k = 0; k < size; ++k)
        bytes.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

TEST(ShaderProgramStored, IsFourStringsACountAndTheDefinitions) {
    const std::string strings[] = {
        "resources/default.vert",
        "#version 150\nin vec3 vp;\nvoid main() { gl_Position = vec4(vp, 1.0); }\n",
        "resources/plasma.frag", "#version 150\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n"};
    struct Def {
        const char* name;
        float min;
        float max;
        float value;
    };
    const std::vector<Def> none;
    const std::vector<Def> two = {{"speed", -2.0f, 8.5f, 0.25f}, {"glow", 0.0f, 1.0f, 0.75f}};
    for (const std::vector<Def>* defs : {&none, &two}) {
        SCOPED_TRACE(testing::Message() << defs->size() << " definitions");
        std::vector<uint8_t> expected;
        OutputStream layout(expected);
        for (const std::string& s : strings)
            write_string(s, layout);
        append(expected, defs->size(), 8);
        for (const Def& d : *defs) {
            write_string(d.name, layout);
            for (float f : {d.min, d.max, d.value}) {
                uint32_t bits = 0;
                std::memcpy(&bits, &f, 4);
                append(expected, bits, 4);
            }
        }
        // Reading takes exactly those bytes and leaves what follows.
        std::vector<uint8_t> package = expected;
        package.push_back(0xAB);
        InputStream in(package.data(), package.size());
        ShaderProgram read(in);
        EXPECT_EQ(in.offset(), expected.size());
        EXPECT_EQ(read.vertex_shader_filename, strings[0]);
        EXPECT_EQ(read.vertex_shader_source, strings[1]);
        EXPECT_EQ(read.fragment_shader_filename, strings[2]);
        EXPECT_EQ(read.fragment_shader_source, strings[3]);
        ASSERT_EQ(read.uniform_defs.size(), defs->size());
        for (size_t i = 0; i < defs->size(); ++i) {
            const UniformDef& def = *read.uniform_defs[i];
            EXPECT_EQ(def.name, (*defs)[i].name);
            EXPECT_EQ(def.min_val, (*defs)[i].min);
            EXPECT_EQ(def.max_val, (*defs)[i].max);
            EXPECT_EQ(def.default_val, (*defs)[i].value);
            EXPECT_EQ(def.location, -1);
            read.uniform_defs[i]->location = 7;  // a looked-up location is never written
        }
        std::vector<uint8_t> written;
        OutputStream out(written);
        read.write_binary(out);
        EXPECT_EQ(written, expected);
    }
}

}  // namespace
}  // namespace demo
