// Include expansion, where expanded lines come from, and the compiles before and after loading.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "test_support/gl_fixture.h"

namespace demo::gl_test {
namespace {

// The programs of a collection by file and fragment source; the first is the one expanded.
std::vector<std::unique_ptr<ShaderProgram>> collection(
    const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::unique_ptr<ShaderProgram>> programs;
    for (const auto& [file, source] : files) {
        programs.push_back(std::make_unique<ShaderProgram>());
        programs.back()->fragment_shader_filename = file;
        programs.back()->fragment_shader_source = source;
    }
    return programs;
}

// Only the first directive naming an earlier program is replaced, by its authored text: a.glsl
// comes in first, then its own directive is the first b.glsl replaces.
TEST(IncludeExpansion, FirstDirectiveOfAnEarlierProgramOnlyIsReplacedAndLogsNameTheirLines) {
    auto programs =
        collection({{"main.frag",
                     "m1\n#include \"a.glsl\"\nm3\n#include \"b.glsl\"\nm5\n#include "
                     "\"main.frag\"\n#include \"none.glsl\""},  // itself, a file no program has
                    {"a.glsl", "a1\na2\n#include \"b.glsl\""},
                    {"b.glsl", "b1\nb2"}});
    std::vector<SourceLine> origins;
    EXPECT_EQ(expand_includes(*programs[0], programs, &origins),
              "m1\na1\na2\nb1\nb2\nm3\n#include \"b.glsl\"\nm5\n#include \"main.frag\"\n#include "
              "\"none.glsl\"");
    std::string where;
    for (const SourceLine& origin : origins)
        where += origin.file + ":" + std::to_string(origin.line) + " ";
    EXPECT_EQ(where,
              "main.frag:1 a.glsl:1 a.glsl:2 b.glsl:1 b.glsl:2 main.frag:3 main.frag:4 "
              "main.frag:5 main.frag:6 main.frag:7 ");
    const std::pair<std::string, std::string> logs[] = {
        {"0:3(10): error: `oops' undeclared", "a.glsl:2:10: error: `oops' undeclared"},
        {"0(6) : error C0000: syntax error", "main.frag:3: error C0000: syntax error"},
        {"ERROR: 0:1: 'foo' : undeclared", "ERROR: main.frag:1: 'foo' : undeclared"},
        {"0:11(1): error: past the end", "0:11(1): error: past the end"},
        {"0:1(2): a\n0:4(4): b", "main.frag:1:2: a\nb.glsl:1:4: b"},
    };
    for (const auto& [log, located] : logs)
        EXPECT_EQ(locate_compile_log(log, origins), located + "\n") << log;
}

using ShaderCompile = GlTest;

TEST_F(ShaderCompile, IncludesExpandOnceADemoIsCurrentAndTheLogKeepsTheFragmentsMessage) {
    demo.shaders =
        collection({{"main.frag", fragment_shader("#include \"colour.glsl\"", "c = colour();")},
                    {"colour.glsl", "vec4 colour() { return vec4(0.0, 1.0, 0.0, 1.0); }"}});
    ShaderProgram& program = *demo.shaders[0];
    // While a package is read there is no current demo: the directive reaches the compiler.
    ASSERT_EQ(current_demo, nullptr);
    build_program(program);
    EXPECT_EQ(program.expanded_fragment_source, program.fragment_shader_source);
    EXPECT_FALSE(shader_diagnostics(program).empty());
    EXPECT_NE(program.compile_log, "Compilation successful.");  // the fragment's own log

    const uint32_t old_program = program.program_id;
    current_demo = &demo;
    recompile(program);
    EXPECT_NE(program.program_id, old_program);
    EXPECT_EQ(program.expanded_fragment_source.find("#include"), std::string::npos);
    EXPECT_TRUE(shader_diagnostics(program).empty());
    EXPECT_EQ(program.compile_log, "Compilation successful.");
    draw(*make_effect(&program), nullptr, false);
    EXPECT_TRUE(rgb_near(read_pixel(), kGreen));
    // The vertex stage fails: the fragment compile's success comes last, the link error after it.
    program.vertex_shader_source = "#version 150\nvoid main() { gl_Position = nope; }\n";
    recompile(program);
    EXPECT_EQ(program.compile_log.rfind("Compilation successful.\nLINKER ERROR: ", 0), 0u)
        << program.compile_log;
}

}  // namespace
}  // namespace demo::gl_test
