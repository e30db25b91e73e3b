// The per-frame walk over a demo built in code: which events are updated and drawn at a beat,
// in which order, with which group-local time and which tracks. Every effect draws a
// full-screen colour that follows from its uniforms, and the window's centre pixel is read.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/sound_analysis.h"
#include "render/gl_fixture.h"
#include "serialization/demo.h"
#include "timeline/render_frame.h"

namespace demo {
namespace {

using gl_test::clear_window;
using gl_test::constant_shader;
using gl_test::fragment_shader;
using gl_test::GlTest;
using gl_test::kHeight;
using gl_test::kWidth;
using gl_test::read_pixel;
using gl_test::rgb_near;
using gl_test::Rgba;
using gl_test::uniform_def;

// ---------------------------------------------------------------------------------------------
// Building demos in code
// ---------------------------------------------------------------------------------------------

ShaderProgram* add_program(Demo& demo, const std::string& fragment,
                           std::vector<std::unique_ptr<UniformDef>> defs = {}) {
    demo.shaders.push_back(gl_test::make_program(fragment, std::move(defs)));
    return demo.shaders.back().get();
}

Effect* add_effect(Demo& demo, ShaderProgram* program, const std::string& name = "") {
    demo.effects.push_back(gl_test::make_effect(program, name));
    return demo.effects.back().get();
}

// An effect showing one constant colour.
Effect* add_colour(Demo& demo, float r, float g, float b, float a = 1.0f) {
    return add_effect(demo, add_program(demo, constant_shader(r, g, b, a)));
}

Event* add_event(Demo& demo, uint32_t type, const std::string& name, float start, float end) {
    auto event = std::make_unique<Event>();
    event->type = type;
    event->name = name;
    event->start_beat = start;
    event->end_beat = end;
    demo.events.push_back(std::move(event));
    return demo.events.back().get();
}

Event* add_effect_event(Demo& demo, const std::string& name, float start, float end,
                        Effect* effect) {
    Event* event = add_event(demo, kEffectEvent, name, start, end);
    event->effect.object = effect;
    return event;
}

EventGroup* add_group(Demo& demo, const std::string& name, const std::vector<Event*>& members) {
    auto group = std::make_unique<EventGroup>();
    group->name = name;
    for (Event* member : members)
        group->events.push_back(ObjectRef<Event>{0, "", member});
    demo.event_groups.push_back(std::move(group));
    return demo.event_groups.back().get();
}

Event* add_group_event(Demo& demo, const std::string& name, float start, float end,
                       EventGroup* group) {
    Event* event = add_event(demo, kGroupEvent, name, start, end);
    event->group.object = group;
    return event;
}

FontTexture* add_font_texture(Demo& demo, const std::string& name) {
    if (demo.fonts.empty())
        demo.fonts.push_back(gl_test::dejavu_font(16));
    auto texture = std::make_unique<FontTexture>();
    texture->name = name;
    texture->width = 128;
    texture->height = 32;
    texture->font.object = demo.fonts.front().get();
    create_surface(*texture);
    demo.font_textures.push_back(std::move(texture));
    return demo.font_textures.back().get();
}

ControlTrack linear(std::vector<std::pair<float, float>> points) {
    ControlTrack track;
    track.mode = kModeLinear;
    for (const auto& [beat, value] : points)
        track.points.push_back(ControlPoint{beat, value, ""});
    return track;
}

ControlTrack text(const std::string& s) {
    ControlTrack track;
    track.points.push_back(ControlPoint{0.0f, 0.0f, s});
    return track;
}

// Shader showing its uniforms "r", "g" (and "b" when asked) as the colour.
std::string uniform_colour_shader() {
    return fragment_shader("uniform float r;\nuniform float g;", "c = vec4(r, g, 0.0, 1.0);");
}

std::vector<std::unique_ptr<UniformDef>> rg_defs(float r_default, float g_default) {
    std::vector<std::unique_ptr<UniformDef>> defs;
    defs.push_back(uniform_def("r", r_default));
    defs.push_back(uniform_def("g", g_default));
    return defs;
}

// One frame as the main loop runs it: cleared window, render-size viewport, `render_frame`.
Rgba frame(Demo& demo, float beat) {
    current_beat = beat;
    clear_window(0.0f, 0.0f, 0.0f);
    glViewport(0, 0, resolution[2], resolution[3]);
    render_frame(demo, beat);
    return read_pixel(kWidth / 2, kHeight / 2);
}

class FrameWalk : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        demo.sound_texture = create_blank_texture(kSoundTextureWidth, kSoundTextureHeight);
    }

    Demo demo;
};

// ---------------------------------------------------------------------------------------------
// Top-level events
// ---------------------------------------------------------------------------------------------

TEST_F(FrameWalk, EffectEventIsDrawnFromItsStartUpToButNotOnItsEndBeat) {
    add_effect_event(demo, "red", 4.0f, 8.0f, add_colour(demo, 1.0f, 0.0f, 0.0f));
    EXPECT_TRUE(rgb_near(frame(demo, 3.99f), Rgba{0, 0, 0}));
    EXPECT_TRUE(rgb_near(frame(demo, 4.0f), Rgba{255, 0, 0}));
    EXPECT_TRUE(rgb_near(frame(demo, 7.99f), Rgba{255, 0, 0}));
    EXPECT_TRUE(rgb_near(frame(demo, 8.0f), Rgba{0, 0, 0}));
}

TEST_F(FrameWalk, InvisibleEffectEventUpdatesItsTextsAndInputsButIsNotDrawn) {
    FontTexture* caption = add_font_texture(demo, "caption");
    Effect* input = add_colour(demo, 0.0f, 1.0f, 0.0f);
    Effect* effect = add_colour(demo, 0.0f, 0.0f, 1.0f);
    effect->font_textures = {ObjectRef<FontTexture>{0, "", caption}};
    effect->effects = {ObjectRef<Effect>{0, "", input}};
    Event* event = add_effect_event(demo, "hidden", 0.0f, 10.0f, effect);
    event->control_points["caption"] = text("Hi");
    event->visible = false;

    // The update pass draws the input straight into the window and copies it.
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), Rgba{0, 255, 0}));
    EXPECT_EQ(caption->text, "Hi");
    ASSERT_NE(input->capture_texture, 0u);
    const std::vector<uint8_t> copy =
        gl_test::read_texture(input->capture_texture, kWidth, kHeight);
    EXPECT_TRUE(rgb_near(gl_test::texel(copy, kWidth, kWidth / 2, kHeight / 2), Rgba{0, 255, 0}));

    event->visible = true;
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), Rgba{0, 0, 255}));
}

TEST_F(FrameWalk, LaterEventsInTheListBlendOverEarlierOnes) {
    // List order decides, not the start beats: the quarter-opaque blue comes second.
    add_effect_event(demo, "red", 2.0f, 10.0f, add_colour(demo, 1.0f, 0.0f, 0.0f));
    add_effect_event(demo, "blue", 0.0f, 10.0f, add_colour(demo, 0.0f, 0.0f, 1.0f, 0.25f));
    EXPECT_TRUE(rgb_near(frame(demo, 3.0f), Rgba{191, 0, 64}));
}

TEST_F(FrameWalk, InputEffectsGetTheirUniformDefaultsBeforeTheyAreDrawn) {
    ShaderProgram* input_program = add_program(demo, uniform_colour_shader(), rg_defs(0.5f, 0.0f));
    Effect* input = add_effect(demo, input_program);
    Effect* effect = add_effect(
        demo,
        add_program(demo, fragment_shader("uniform sampler2D tex;\nuniform vec2 resolution;",
                                          "c = texture(tex, gl_FragCoord.xy / resolution);")));
    effect->effects = {ObjectRef<Effect>{0, "", input}};
    add_effect_event(demo, "outer", 0.0f, 10.0f, effect);

    // A value left in the input's program from elsewhere.
    glUseProgram(input_program->program_id);
    glUniform1f(input_program->uniform_defs[0]->location, 1.0f);
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), Rgba{128, 0, 0}));
}

TEST_F(FrameWalk, SoundTextureIsRefreshedEveryFrameEvenWithNothingActive) {
    std::vector<int16_t> chunk(2 * kFftSize, -512);  // waveform byte -512 / 256 + 128 = 126
    analyse_output(0, chunk.data(), static_cast<int>(chunk.size() * sizeof(int16_t)), nullptr);
    frame(demo, 1.0f);
    const std::vector<uint8_t> bytes = gl_test::read_texture(
        demo.sound_texture->texture_id, kSoundTextureWidth, kSoundTextureHeight);
    EXPECT_EQ(gl_test::texel(bytes, kSoundTextureWidth, 0, 1).r, 126);
    EXPECT_EQ(gl_test::texel(bytes, kSoundTextureWidth, 1023, 1).a, 126);
}

// ---------------------------------------------------------------------------------------------
// Groups
// ---------------------------------------------------------------------------------------------

TEST_F(FrameWalk, GroupEventPlaysItsMembersOnLocalTime) {
    // Members start at 8 and 12; the group event at 32 maps beat 33 to local 9. The first
    // member's red follows a track (0 -> 1 over two beats), so local 9 gives 0.5.
    Event* first = add_effect_event(
        demo, "first", 8.0f, 10.0f,
        add_effect(demo, add_program(demo, uniform_colour_shader(), rg_defs(0.0f, 0.0f))));
    first->control_points["r"] = linear({{0.0f, 0.0f}, {2.0f, 1.0f}});
    first->visible = false;  // members' own flags play no part inside a group
    Event* second =
        add_effect_event(demo, "second", 12.0f, 14.0f, add_colour(demo, 0.0f, 1.0f, 0.0f));
    add_group_event(demo, "block", 32.0f, 40.0f, add_group(demo, "block", {first, second}));

    EXPECT_TRUE(rgb_near(frame(demo, 33.0f), Rgba{128, 0, 0}));  // first at local 9, second not yet
    EXPECT_TRUE(rgb_near(frame(demo, 35.0f), Rgba{0, 0, 0}));    // local 11: neither
    EXPECT_TRUE(rgb_near(frame(demo, 37.0f), Rgba{0, 255, 0}));  // local 13: second
    EXPECT_TRUE(rgb_near(frame(demo, 9.0f), Rgba{0, 0, 0}));     // first is invisible on its own
}

TEST_F(FrameWalk, GroupTracksNamedAfterTheMemberWinOverItsOwnTracks) {
    Event* member = add_effect_event(
        demo, "M1", 8.0f, 10.0f,
        add_effect(demo, add_program(demo, uniform_colour_shader(), rg_defs(0.1f, 0.75f))));
    member->control_points["r"] = linear({{0.0f, 0.25f}});
    member->control_points["g"] = linear({{0.0f, 0.25f}});
    Event* group_event =
        add_group_event(demo, "G", 32.0f, 40.0f, add_group(demo, "block", {member}));
    // On the group event's own time: beat 33 is one beat in.
    group_event->control_points["M1.r"] = linear({{0.0f, 0.0f}, {2.0f, 1.0f}});
    group_event->control_points["M1.g"] = ControlTrack{};  // no points: the default

    EXPECT_TRUE(rgb_near(frame(demo, 33.0f), Rgba{128, 191, 0}));
    // Drawn on its own, the member uses its own tracks.
    EXPECT_TRUE(rgb_near(frame(demo, 9.0f), Rgba{64, 64, 0}));
}

TEST_F(FrameWalk, GroupMembersOutsideTheirRangeHaveTheirTextsCleared) {
    FontTexture* one = add_font_texture(demo, "F1");
    FontTexture* two = add_font_texture(demo, "F2");
    Effect* first_effect = add_colour(demo, 0.0f, 0.0f, 0.0f, 0.0f);
    first_effect->font_textures = {ObjectRef<FontTexture>{0, "", one}};
    Effect* second_effect = add_colour(demo, 0.0f, 0.0f, 0.0f, 0.0f);
    second_effect->font_textures = {ObjectRef<FontTexture>{0, "", two}};
    Event* first = add_effect_event(demo, "M1", 8.0f, 10.0f, first_effect);
    first->control_points["F1"] = text("One");
    Event* second = add_effect_event(demo, "M2", 12.0f, 14.0f, second_effect);
    second->control_points["F2"] = text("Two");
    Event* group_event =
        add_group_event(demo, "G", 32.0f, 40.0f, add_group(demo, "block", {first, second}));
    group_event->control_points["M1.F1"] = text("Group");

    set_text(*two, "stale");
    frame(demo, 33.0f);  // local 9
    EXPECT_EQ(one->text, "Group");
    EXPECT_EQ(two->text, "");
    frame(demo, 37.0f);  // local 13
    EXPECT_EQ(one->text, "");
    EXPECT_EQ(two->text, "Two");

    // A top-level event that has ended keeps its last text.
    frame(demo, 9.0f);
    EXPECT_EQ(one->text, "One");
    frame(demo, 11.0f);
    EXPECT_EQ(one->text, "One");
}

TEST_F(FrameWalk, GroupsThatContainThemselvesAreNotEnteredAgain) {
    // Half-opaque red: drawn once it reads 128, drawn twice 191.
    {
        Event* member =
            add_effect_event(demo, "M", 0.0f, 100.0f, add_colour(demo, 1.0f, 0.0f, 0.0f, 0.5f));
        member->visible = false;
        EventGroup* group = add_group(demo, "loop", {});
        Event* group_event = add_group_event(demo, "G", 0.0f, 100.0f, group);
        group->events = {ObjectRef<Event>{0, "", group_event}, ObjectRef<Event>{0, "", member}};
        EXPECT_TRUE(rgb_near(frame(demo, 5.0f), Rgba{128, 0, 0}));
    }
    {
        // Through another group: G1 contains G2, which contains G1.
        Demo other;
        other.sound_texture = create_blank_texture(kSoundTextureWidth, kSoundTextureHeight);
        Event* member =
            add_effect_event(other, "M", 0.0f, 100.0f, add_colour(other, 1.0f, 0.0f, 0.0f, 0.5f));
        member->visible = false;
        EventGroup* outer = add_group(other, "outer", {});
        EventGroup* inner = add_group(other, "inner", {});
        Event* g1 = add_group_event(other, "G1", 0.0f, 100.0f, outer);
        Event* g2 = add_group_event(other, "G2", 0.0f, 100.0f, inner);
        g2->visible = false;
        outer->events = {ObjectRef<Event>{0, "", g2}, ObjectRef<Event>{0, "", member}};
        inner->events = {ObjectRef<Event>{0, "", g1}};
        EXPECT_TRUE(rgb_near(frame(other, 5.0f), Rgba{128, 0, 0}));
    }
}

TEST_F(FrameWalk, EventsMissingWhatTheyNeedAreSkipped) {
    add_effect_event(demo, "no effect", 0.0f, 10.0f, nullptr);
    add_effect_event(demo, "no program", 0.0f, 10.0f, add_effect(demo, nullptr));
    add_group_event(demo, "no group", 0.0f, 10.0f, nullptr);
    add_group_event(demo, "empty group", 0.0f, 10.0f, add_group(demo, "empty", {}));
    add_event(demo, kAudioSampleEvent, "no sample", 0.0f, 1.0f);
    add_event(demo, 7, "unknown type", 0.0f, 10.0f);
    Event* red = add_effect_event(demo, "red", 0.0f, 10.0f, add_colour(demo, 1.0f, 0.0f, 0.0f));
    red->visible = false;
    EventGroup* group = add_group(demo, "holes", {});
    group->events = {ObjectRef<Event>{}, ObjectRef<Event>{0, "", red}};
    add_group_event(demo, "holes", 0.0f, 10.0f, group);
    add_effect_event(demo, "green", 0.0f, 10.0f, add_colour(demo, 0.0f, 1.0f, 0.0f, 0.5f));

    // The group's red member, then the half-opaque green over it.
    EXPECT_TRUE(rgb_near(frame(demo, 0.5f), Rgba{128, 128, 0}));
}

}  // namespace
}  // namespace demo
