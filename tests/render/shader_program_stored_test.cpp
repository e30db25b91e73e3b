// The stored form of a shader program: four strings, the definition count, the definitions
// (name, minimum, maximum, default; never the looked-up location).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/shader_program.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_bytes.h"

namespace demo {
namespace {

using namespace package_bytes;

TEST(ShaderProgramStored, IsFourStringsACountAndTheDefinitions) {
    const std::string strings[] = {"shaders/default.vert", "vertex text", "shaders/plasma.frag",
                                   "fragment text"};
    std::vector<UniformDef> none;
    std::vector<UniformDef> two(2);
    two[0].name = "speed";
    two[0].min_val = -2.0f;
    two[0].max_val = 8.5f;
    two[0].default_val = 0.25f;
    two[1].name = "glow";
    two[1].max_val = 1.0f;
    two[1].default_val = 0.75f;
    for (const std::vector<UniformDef>* defs : {&none, &two}) {
        SCOPED_TRACE(testing::Message() << defs->size() << " definitions");
        Bytes expected;
        for (const std::string& s : strings)
            append(expected, stored_string(s));
        append(expected, u64(defs->size()));
        for (const UniformDef& d : *defs) {
            append(expected, stored_string(d.name));
            for (float f : {d.min_val, d.max_val, d.default_val})
                append(expected, f32(f));
        }
        // Reading takes exactly those bytes and leaves what follows.
        Bytes package = expected;
        package.push_back(0xAB);
        InputStream in(package.data(), package.size());
        ShaderProgram read(in);
        EXPECT_EQ(in.offset(), expected.size());
        EXPECT_EQ(read.vertex_shader_filename + read.vertex_shader_source +
                      read.fragment_shader_filename + read.fragment_shader_source,
                  strings[0] + strings[1] + strings[2] + strings[3]);
        ASSERT_EQ(read.uniform_defs.size(), defs->size());
        for (size_t i = 0; i < defs->size(); ++i) {
            UniformDef& def = *read.uniform_defs[i];
            EXPECT_EQ(def.name, (*defs)[i].name);
            EXPECT_EQ(def.min_val, (*defs)[i].min_val);
            EXPECT_EQ(def.max_val, (*defs)[i].max_val);
            EXPECT_EQ(def.default_val, (*defs)[i].default_val);
            EXPECT_EQ(def.location, -1);
            def.location = 7;  // a looked-up location is never written
        }
        Bytes written;
        OutputStream out(written);
        read.write_binary(out);
        EXPECT_EQ(written, expected);
    }
}

}  // namespace
}  // namespace demo
