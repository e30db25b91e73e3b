// The stored form of a shader program: four strings, the definition count, the definitions.
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

void append_string(std::vector<uint8_t>& bytes, const std::string& text) {
    OutputStream out(bytes);
    write_string(text, out);
}

void append_u64(std::vector<uint8_t>& bytes, uint64_t v) {
    for (int k = 0; k < 8; ++k)
        bytes.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

void append_f32(std::vector<uint8_t>& bytes, float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int k = 0; k < 4; ++k)
        bytes.push_back(static_cast<uint8_t>(bits >> (8 * k)));
}

const std::string kVertexFile = "resources/default.vert";
const std::string kVertexSource =
    "#version 150\nin vec3 vp;\nvoid main() { gl_Position = vec4(vp, 1.0); }\n";
const std::string kFragmentFile = "resources/plasma.frag";
const std::string kFragmentSource = "#version 150\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n";

std::vector<uint8_t> four_strings() {
    std::vector<uint8_t> bytes;
    append_string(bytes, kVertexFile);
    append_string(bytes, kVertexSource);
    append_string(bytes, kFragmentFile);
    append_string(bytes, kFragmentSource);
    return bytes;
}

TEST(ShaderProgramStored, WithoutUniformDefinitionsItIsFourStringsAndOneZeroCount) {
    std::vector<uint8_t> expected = four_strings();
    append_u64(expected, 0);

    ShaderProgram program;
    program.vertex_shader_filename = kVertexFile;
    program.vertex_shader_source = kVertexSource;
    program.fragment_shader_filename = kFragmentFile;
    program.fragment_shader_source = kFragmentSource;
    std::vector<uint8_t> written;
    OutputStream out(written);
    program.write_binary(out);
    EXPECT_EQ(written, expected);

    // Reading takes exactly those bytes and leaves what follows.
    std::vector<uint8_t> package = expected;
    package.push_back(0xAB);
    InputStream in(package.data(), package.size());
    ShaderProgram read(in);
    EXPECT_EQ(in.offset(), expected.size());
    EXPECT_EQ(read.vertex_shader_filename, kVertexFile);
    EXPECT_EQ(read.vertex_shader_source, kVertexSource);
    EXPECT_EQ(read.fragment_shader_filename, kFragmentFile);
    EXPECT_EQ(read.fragment_shader_source, kFragmentSource);
    EXPECT_TRUE(read.uniform_defs.empty());
}

TEST(ShaderProgramStored, UniformDefinitionsFollowAsNameAndThreeFloatsWithoutLocation) {
    std::vector<uint8_t> expected = four_strings();
    append_u64(expected, 2);
    append_string(expected, "speed");
    append_f32(expected, -2.0f);
    append_f32(expected, 8.5f);
    append_f32(expected, 0.25f);
    append_string(expected, "glow");
    append_f32(expected, 0.0f);
    append_f32(expected, 1.0f);
    append_f32(expected, 0.75f);

    InputStream in(expected.data(), expected.size());
    ShaderProgram read(in);
    EXPECT_EQ(in.remaining(), 0u);
    ASSERT_EQ(read.uniform_defs.size(), 2u);
    EXPECT_EQ(read.uniform_defs[0]->name, "speed");
    EXPECT_EQ(read.uniform_defs[0]->min_val, -2.0f);
    EXPECT_EQ(read.uniform_defs[0]->max_val, 8.5f);
    EXPECT_EQ(read.uniform_defs[0]->default_val, 0.25f);
    EXPECT_EQ(read.uniform_defs[0]->location, -1);
    EXPECT_EQ(read.uniform_defs[1]->name, "glow");
    EXPECT_EQ(read.uniform_defs[1]->default_val, 0.75f);

    read.uniform_defs[0]->location = 7;  // a looked-up location is never written
    std::vector<uint8_t> written;
    OutputStream out(written);
    read.write_binary(out);
    EXPECT_EQ(written, expected);
}

}  // namespace
}  // namespace demo
