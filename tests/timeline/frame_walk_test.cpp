// The per-frame walk: which events are updated and drawn, in which order, on which time and tracks.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "test_support/gl_fixture.h"

namespace demo::gl_test {
namespace {

// Shader showing its uniforms "r", "g" and "b" as the colour.
const std::string kUniformColour =
    fragment_shader("uniform float r, g, b;", "c = vec4(r, g, b, 1.0);");

EventGroup* add_group(Demo& demo, const std::vector<Event*>& members) {
    demo.event_groups.push_back(std::make_unique<EventGroup>());
    for (Event* member : members)
        demo.event_groups.back()->events.push_back(ref(member));
    return demo.event_groups.back().get();
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

// An invisible event updates its texts and inputs (drawn into the window, then copied); inputs
// get their uniform defaults first.
TEST_F(FrameWalk, InvisibleEventsUpdateTextsAndInputsWhichGetTheirUniformDefaultsFirst) {
    FontTexture* caption = add_font_texture(demo, 16, 128, 32, false);
    Effect* input = add_effect(demo, kUniformColour, {{"r", 0.5f}, {"g", 0}, {"b", 0}});
    // Shows the input (unit 1, after the font texture) as red, in blue.
    Effect* effect = add_effect(
        demo, fragment_shader("uniform sampler2D tex1;\nuniform vec2 resolution;",
                              "c = vec4(texture(tex1, gl_FragCoord.xy / resolution).r, 0, 1, 1);"));
    effect->font_textures = {ref(caption)};
    effect->effects = {ref(input)};
    Event* event = add_event(demo, kEffectEvent, 0.0f, 10.0f, effect);
    event->control_points["caption"].points = {ControlPoint{0.0f, 0.0f, "Hi"}};
    event->visible = false;
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), Rgba{128, 0, 0}));
    EXPECT_EQ(caption->text, "Hi");
    ASSERT_NE(input->capture_texture, 0u);
    const std::vector<uint8_t> copy = read_texture(input->capture_texture, kWidth, kHeight);
    EXPECT_TRUE(rgb_near(texel(copy, kWidth, kWidth / 2, kHeight / 2), Rgba{128, 0, 0}));
    // Drawn, with a value left in the input's program from elsewhere.
    event->visible = true;
    ShaderProgram& program = *input->program.object;
    glUseProgram(program.program_id);
    glUniform1f(program.uniform_defs[0]->location, 1.0f);
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), Rgba{128, 0, 255}));
}

TEST_F(FrameWalk, GroupEventPlaysItsMembersOnLocalTimeWithItsOwnTracksWinning) {
    // Members start at 8 and 12: beat 33 is local 9. M1's red follows the group's "M1.r" on the
    // group event's time (0.5 at 33), its green the default (the group's "M1.g" has no points).
    // The second's own green track runs on local time; its red (no points) and blue, defaults.
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

// Missing pieces are skipped; G1, holding itself and G2 (which holds G1), draws its half red once
// (twice gives red 48), then a group with a hole its half blue, then half green over both.
TEST_F(FrameWalk, EventsMissingWhatTheyNeedAndGroupsHoldingThemselvesAreSkipped) {
    add_event(demo, kEffectEvent, 0.0f, 10.0f, nullptr);
    demo.effects.push_back(make_effect(nullptr));
    add_event(demo, kEffectEvent, 0.0f, 10.0f, demo.effects.back().get());  // no program
    add_event(demo, kGroupEvent, 0.0f, 10.0f, nullptr);
    add_event(demo, kGroupEvent, 0.0f, 10.0f, add_group(demo, {}));
    add_event(demo, kAudioSampleEvent, 0.0f, 1.0f);  // no sample
    add_event(demo, 7, 0.0f, 10.0f);                 // unknown type
    Event* red = add_event(demo, kEffectEvent, 0.0f, 10.0f,
                           add_effect(demo, constant_shader(1, 0, 0, 0.5f)));
    Event* blue = add_event(demo, kEffectEvent, 0.0f, 10.0f,
                            add_effect(demo, constant_shader(0, 0, 1, 0.5f)));
    red->visible = blue->visible = false;
    EventGroup* outer = add_group(demo, {});
    Event* g1 = add_event(demo, kGroupEvent, 0.0f, 10.0f, outer);
    Event* g2 = add_event(demo, kGroupEvent, 0.0f, 10.0f, add_group(demo, {g1}));
    g2->visible = false;
    outer->events = {ref(g1), ref(g2), ref(red)};
    add_event(demo, kGroupEvent, 0.0f, 10.0f, add_group(demo, {nullptr, blue}));
    add_event(demo, kEffectEvent, 0.0f, 10.0f, add_effect(demo, constant_shader(0, 1, 0, 0.5f)));
    EXPECT_TRUE(rgb_near(frame(demo, 0.5f), Rgba{32, 128, 64}));
}

}  // namespace
}  // namespace demo::gl_test
