// The stored form of a shader program: four strings, the definition count, the definitions
// (name, minimum, maximum, default; never the looked-up location).
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "render/shader_program.h"
#include "serialization/input_stream.h"
#include "test_support/serialization_support.h"

namespace demo {
namespace {

using namespace package_bytes;

TEST(ShaderProgramStored, IsFourStringsACountAndTheDefinitions) {
    const std::string strings[] = {"shaders/default.vert", "vertex text", "shaders/plasma.frag",
                                   "fragment text"};
    // Name, minimum, maximum, default, and the location before any lookup.
    const std::tuple<std::string, float, float, float, int32_t> defs[] = {
        {"speed", -2.0f, 8.5f, 0.25f, -1}, {"glow", 0.0f, 1.0f, 0.75f, -1}};
    const Bytes expected =
        concat({stored_string(strings[0]), stored_string(strings[1]), stored_string(strings[2]),
                stored_string(strings[3]), u64(2), stored_string("speed"), f32(-2.0f), f32(8.5f),
                f32(0.25f), stored_string("glow"), f32(0.0f), f32(1.0f), f32(0.75f)});
    // Reading takes exactly those bytes and leaves what follows.
    const Bytes package = concat({expected, {0xAB}});
    InputStream in(package.data(), package.size());
    ShaderProgram read(in);
    EXPECT_EQ(in.remaining(), 1u);
    EXPECT_EQ(read.vertex_shader_filename + read.vertex_shader_source +
                  read.fragment_shader_filename + read.fragment_shader_source,
              strings[0] + strings[1] + strings[2] + strings[3]);
    ASSERT_EQ(read.uniform_defs.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        UniformDef& def = *read.uniform_defs[i];
        EXPECT_EQ(std::tuple(def.name, def.min_val, def.max_val, def.default_val, def.location),
                  defs[i]);
        def.location = 7;  // a looked-up location is never written
    }
    EXPECT_EQ(test_util::binary_form(read), expected);
}

}  // namespace
}  // namespace demo
