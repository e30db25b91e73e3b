// The per-frame walk over a demo built in code: which events are updated and drawn at a beat,
// in which order, with which group-local time and which tracks. Every effect draws a
// full-screen colour that follows from its uniforms, and the window's centre pixel is read.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "render/gl_fixture.h"

namespace demo::gl_test {
namespace {

// Shader showing its uniforms "r", "g" and "b" as the colour.
const std::string kUniformColour = fragment_shader(
    "uniform float r;\nuniform float g;\nuniform float b;", "c = vec4(r, g, b, 1.0);");

EventGroup* add_group(Demo& demo, const std::vector<Event*>& members) {
    demo.event_groups.push_back(std::make_unique<EventGroup>());
    for (Event* member : members)
        demo.event_groups.back()->events.push_back(ref(member));
    return demo.event_groups.back().get();
}

FontTexture* add_font_texture(Demo& demo, const std::string& name) {
    if (demo.fonts.empty())
        demo.fonts.push_back(dejavu_font(16));
    demo.font_textures.push_back(std::make_unique<FontTexture>());
    FontTexture& texture = *demo.font_textures.back();
    texture.name = name;
    texture.width = 128;
    texture.height = 32;
    texture.font.object = demo.fonts.front().get();
    create_surface(texture);
    return &texture;
}

ControlTrack text(const std::string& s) {
    ControlTrack track;
    track.points.push_back(ControlPoint{0.0f, 0.0f, s});
    return track;
}

using FrameWalk = GlTest;

TEST_F(FrameWalk, TopLevelEventsDrawInListOrderFromTheirStartUpToTheirEnd) {
    add_event(demo, kEffectEvent, 4.0f, 8.0f, add_effect(demo, constant_shader(1, 0, 0)));
    // List order decides, not the start beats: the quarter-opaque blue comes second.
    add_event(demo, kEffectEvent, 0.0f, 8.0f, add_effect(demo, constant_shader(0, 0, 1, 0.25f)));
    const std::pair<float, Rgba> frames[] = {
        {3.99f, {0, 0, 64}}, {4.0f, {191, 0, 64}}, {7.99f, {191, 0, 64}}, {8.0f, {0, 0, 0}}};
    for (const auto& [beat, expected] : frames)
        EXPECT_TRUE(rgb_near(frame(demo, beat), expected)) << "beat " << beat;
}

TEST_F(FrameWalk, InvisibleEffectEventUpdatesItsTextsAndInputsButIsNotDrawn) {
    FontTexture* caption = add_font_texture(demo, "caption");
    Effect* input = add_effect(demo, constant_shader(0, 1, 0));
    Effect* effect = add_effect(demo, constant_shader(0, 0, 1));
    effect->font_textures = {ref(caption)};
    effect->effects = {ref(input)};
    Event* event = add_event(demo, kEffectEvent, 0.0f, 10.0f, effect);
    event->control_points["caption"] = text("Hi");
    event->visible = false;

    // The update pass draws the input straight into the window and copies it.
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), kGreen));
    EXPECT_EQ(caption->text, "Hi");
    ASSERT_NE(input->capture_texture, 0u);
    const std::vector<uint8_t> copy = read_texture(input->capture_texture, kWidth, kHeight);
    EXPECT_TRUE(rgb_near(texel(copy, kWidth, kWidth / 2, kHeight / 2), kGreen));
    event->visible = true;
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), kBlue));
}

TEST_F(FrameWalk, InputEffectsGetTheirUniformDefaultsBeforeTheyAreDrawn) {
    Effect* input = add_effect(demo, kUniformColour, {{"r", 0.5f}, {"g", 0}, {"b", 0}});
    Effect* effect = add_effect(demo, pass_shader());
    effect->effects = {ref(input)};
    add_event(demo, kEffectEvent, 0.0f, 10.0f, effect);
    // A value left in the input's program from elsewhere.
    ShaderProgram& program = *input->program.object;
    glUseProgram(program.program_id);
    glUniform1f(program.uniform_defs[0]->location, 1.0f);
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), Rgba{128, 0, 0}));
}

TEST_F(FrameWalk, GroupEventPlaysItsMembersOnLocalTimeWithItsOwnTracksWinning) {
    // Members start at 8 and 12; the group event at 32 maps beat 33 to local 9. The first
    // member's red follows the group's track "M1.r" on the group event's own time (0 -> 1 over
    // two beats: 0.5 at 33); its green the default, as the group's "M1.g" has no points. The
    // second member's own green track runs on local time (0.5 at local 13); its red track
    // without points and its blue without a track give their defaults.
    Event* first =
        add_event(demo, kEffectEvent, 8.0f, 10.0f,
                  add_effect(demo, kUniformColour, {{"r", 0.1f}, {"g", 0.75f}, {"b", 0}}), "M1");
    first->control_points["r"] = linear({{0.0f, 0.25f}});
    first->control_points["g"] = linear({{0.0f, 0.25f}});
    Event* second =
        add_event(demo, kEffectEvent, 12.0f, 14.0f,
                  add_effect(demo, kUniformColour, {{"r", 0.5f}, {"g", 0}, {"b", 0.25f}}));
    second->control_points["g"] = linear({{0.0f, 0.0f}, {2.0f, 1.0f}});
    second->control_points["r"] = ControlTrack{};
    second->visible = false;  // members' own flags play no part inside a group
    Event* group = add_event(demo, kGroupEvent, 32.0f, 40.0f, add_group(demo, {first, second}));
    group->control_points["M1.r"] = linear({{0.0f, 0.0f}, {2.0f, 1.0f}});
    group->control_points["M1.g"] = ControlTrack{};

    const std::pair<float, Rgba> frames[] = {
        {33.0f, {128, 191, 0}},   // local 9: first, second not yet
        {35.0f, {0, 0, 0}},       // local 11: neither
        {37.0f, {128, 128, 64}},  // local 13: second
        {9.0f, {64, 64, 0}},      // first on its own, with its own tracks
        {13.0f, {0, 0, 0}},       // second is invisible on its own
    };
    for (const auto& [beat, expected] : frames)
        EXPECT_TRUE(rgb_near(frame(demo, beat), expected)) << "beat " << beat;
}

TEST_F(FrameWalk, GroupsThatContainThemselvesAreNotEnteredAgain) {
    // Half-opaque red: drawn once it reads 128, drawn twice 191. G1 contains itself and G2,
    // which contains G1 again.
    Event* member = add_event(demo, kEffectEvent, 0.0f, 100.0f,
                              add_effect(demo, constant_shader(1, 0, 0, .5f)));
    member->visible = false;
    EventGroup* outer = add_group(demo, {});
    EventGroup* inner = add_group(demo, {});
    Event* g1 = add_event(demo, kGroupEvent, 0.0f, 100.0f, outer);
    Event* g2 = add_event(demo, kGroupEvent, 0.0f, 100.0f, inner);
    g2->visible = false;
    outer->events = {ref(g1), ref(g2), ref(member)};
    inner->events = {ref(g1)};
    EXPECT_TRUE(rgb_near(frame(demo, 5.0f), Rgba{128, 0, 0}));
}

TEST_F(FrameWalk, EventsMissingWhatTheyNeedAreSkipped) {
    add_event(demo, kEffectEvent, 0.0f, 10.0f, nullptr);
    demo.effects.push_back(make_effect(nullptr));
    add_event(demo, kEffectEvent, 0.0f, 10.0f, demo.effects.back().get());  // no program
    add_event(demo, kGroupEvent, 0.0f, 10.0f, nullptr);
    add_event(demo, kGroupEvent, 0.0f, 10.0f, add_group(demo, {}));
    add_event(demo, kAudioSampleEvent, 0.0f, 1.0f);  // no sample
    add_event(demo, 7, 0.0f, 10.0f);                 // unknown type
    Event* red =
        add_event(demo, kEffectEvent, 0.0f, 10.0f, add_effect(demo, constant_shader(1, 0, 0)));
    red->visible = false;
    EventGroup* holes = add_group(demo, {nullptr, red});
    add_event(demo, kGroupEvent, 0.0f, 10.0f, holes);
    add_event(demo, kEffectEvent, 0.0f, 10.0f, add_effect(demo, constant_shader(0, 1, 0, 0.5f)));
    // The group's red member, then the half-opaque green over it.
    EXPECT_TRUE(rgb_near(frame(demo, 0.5f), Rgba{128, 128, 0}));
}

}  // namespace
}  // namespace demo::gl_test
