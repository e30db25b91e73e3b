// Include expansion with the file and line of every expanded line, the compile messages, and
// the second compile that expands includes once the demo is loaded.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "render/gl_fixture.h"
#include "serialization/demo.h"

namespace demo::gl_test {
namespace {

std::unique_ptr<ShaderProgram> source_only(const std::string& file, const std::string& source) {
    auto program = std::make_unique<ShaderProgram>();
    program->fragment_shader_filename = file;
    program->fragment_shader_source = source;
    return program;
}

// The programs of a collection by file and source; the first is the one expanded.
using Files = std::vector<std::pair<std::string, std::string>>;

std::vector<std::unique_ptr<ShaderProgram>> collection(const Files& files) {
    std::vector<std::unique_ptr<ShaderProgram>> programs;
    for (const auto& [file, source] : files)
        programs.push_back(source_only(file, source));
    return programs;
}

TEST(IncludeExpansion, FirstDirectiveOfAnEarlierProgramOnlyIsReplacedByItsAuthoredText) {
    const std::string others =
        "#include \"self.frag\"\n"     // the program's own file
        "#include \"missing.frag\"\n"  // no program has it
        "#include  \"lib.frag\"\n"     // two spaces
        "#include 'lib.frag'\n"
        "#include <lib.frag>\n";
    const struct {
        Files files;
        std::string expanded;
    } cases[] = {
        {{{"self.frag", others}, {"lib.frag", "LIB"}}, others},
        // A directive brought in is expanded only by a program later in the collection (the
        // next test has the other order and the first directive of several).
        {{{"main.frag", "[#include \"a.frag\"]"},
          {"b.frag", "b"},
          {"a.frag", "a(#include \"b.frag\")"}},
         "[a(#include \"b.frag\")]"},
    };
    for (const auto& c : cases) {
        auto programs = collection(c.files);
        programs.back()->expanded_fragment_source = "EXPANDED";  // never used for the replacement
        EXPECT_EQ(expand_includes(*programs[0], programs), c.expanded) << c.files[0].second;
    }
}

// Every expanded line knows its file and line, and compile logs are told in those terms.
TEST(IncludeExpansion, CompileLogsNameTheFileAndLineOfTheExpandedText) {
    auto programs =
        collection({{"main.frag", "m1\n#include \"a.glsl\"\nm3\n#include \"b.glsl\"\nm5"},
                    {"a.glsl", "a1\na2\n#include \"b.glsl\""},
                    {"b.glsl", "b1\nb2"}});
    std::vector<SourceLine> origins;
    const std::string text = expand_includes(*programs[0], programs, &origins);
    // a.glsl comes in first; its own directive is then the first one b.glsl replaces.
    EXPECT_EQ(text, "m1\na1\na2\nb1\nb2\nm3\n#include \"b.glsl\"\nm5");
    std::string where;
    for (const SourceLine& origin : origins)
        where += origin.file + ":" + std::to_string(origin.line) + " ";
    EXPECT_EQ(where,
              "main.frag:1 a.glsl:1 a.glsl:2 b.glsl:1 b.glsl:2 main.frag:3 main.frag:4 "
              "main.frag:5 ");
    const struct {
        std::string log, located;
    } cases[] = {
        {"0:3(10): error: `oops' undeclared", "a.glsl:2:10: error: `oops' undeclared"},
        {"0(6) : error C0000: syntax error", "main.frag:3: error C0000: syntax error"},
        {"ERROR: 0:1: 'foo' : undeclared", "ERROR: main.frag:1: 'foo' : undeclared"},
        {"0:9(1): error: past the end", "0:9(1): error: past the end"},
        {"error: no main", "error: no main"},
        {"0:1(2): a\n0:4(4): b", "main.frag:1:2: a\nb.glsl:1:4: b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(locate_compile_log(c.log, origins), c.located + "\n") << c.log;
}

using ShaderCompile = GlTest;

TEST_F(ShaderCompile, IncludesExpandOnlyOnceADemoIsCurrentAndRecompileUsesThem) {
    Demo demo;
    demo.shaders.push_back(
        source_only("main.frag", fragment_shader("#include \"colour.glsl\"", "c = colour();")));
    demo.shaders.push_back(
        source_only("colour.glsl", "vec4 colour() { return vec4(0.0, 1.0, 0.0, 1.0); }"));
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

    auto effect = make_effect(&program);
    draw(*effect, nullptr, false);
    EXPECT_TRUE(rgb_near(read_pixel(), kGreen));
}

// Only the vertex shader fails: the fragment compile comes second and reports success; the
// failed link is appended.
TEST_F(ShaderCompile, CompileLogKeepsTheFragmentShadersMessageAndTheLinkError) {
    ShaderProgram vertex_fails;
    vertex_fails.vertex_shader_source =
        "#version 150\nin vec3 vp;\nvoid main() { gl_Position = nope; }\n";
    vertex_fails.fragment_shader_source = fragment_shader("", "c = vec4(1.0);");
    vertex_fails.vertex_shader_id = glCreateShader(GL_VERTEX_SHADER);
    vertex_fails.fragment_shader_id = glCreateShader(GL_FRAGMENT_SHADER);
    compile_shaders(vertex_fails);
    EXPECT_EQ(vertex_fails.compile_log, "Compilation successful.");
    link_program(vertex_fails);
    EXPECT_EQ(vertex_fails.compile_log.rfind("Compilation successful.\nLINKER ERROR: ", 0), 0u)
        << vertex_fails.compile_log;
    EXPECT_EQ(vertex_fails.locations.beat, -1);
    // No locations are asked of a program that did not link, so no GL error is left behind.
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace demo::gl_test
