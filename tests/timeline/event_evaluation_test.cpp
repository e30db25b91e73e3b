// Track values and texts of an event against the interpolation and typing formulas.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "audio/audio_sample.h"
#include "base/player_state.h"
#include "demo/demo.h"
#include "timeline/event.h"
#include "timeline/event_group.h"
#include "timeline/sample_triggers.h"

namespace demo {
namespace {

using Points = std::vector<std::pair<float, float>>;

ControlTrack make_track(uint32_t mode, bool repeat, const Points& points) {
    ControlTrack track;
    track.mode = mode;
    track.repeat = repeat;
    for (const auto& [beat, value] : points)
        track.points.push_back(ControlPoint{beat, value, ""});
    return track;
}

Event make_event(float start, float end) {
    Event event;
    event.type = kEffectEvent;
    event.start_beat = start;
    event.end_beat = end;
    return event;
}

// Catmull-Rom through p1 (u = 0) and p2 (u = 1), worked out in double precision.
double cr(double p0, double p1, double p2, double p3, double u) {
    return 0.5 * (2 * p1 + (p2 - p0) * u + (2 * p0 - 5 * p1 + 4 * p2 - p3) * u * u +
                  (-p0 + 3 * p1 - 3 * p2 + p3) * u * u * u);
}

struct ValueCase {
    const char* what;
    uint32_t mode;
    bool repeat;
    Points points;
    float beat;
    double expected;
    float start = 0.0f;
    float end = 100.0f;
};

const Points kRamp = {{0, 0}, {4, 1}};
const Points kCurve = {{0, 1}, {1, 4}, {2, -2}, {3, 6}};
const Points kClose = {{0, 10}, {0.04f, 2}, {1, 5}, {2, -1}, {2.03f, 20}};

// clang-format off
const ValueCase kValues[] = {
    {"linear a quarter", kModeLinear, false, kRamp, 11.0f, 0.25, 10.0f},
    {"linear on the last point", kModeLinear, false, kRamp, 14.0f, 1.0, 10.0f},
    {"linear holds to the end", kModeLinear, false, kRamp, 90.0f, 1.0, 10.0f},
    {"repeat on the last point", kModeLinear, true, kRamp, 14.0f, 1.0, 10.0f},
    // After the last point d = 0 - 4, so u = (t - 4) / -4 runs negative.
    {"repeat towards the first", kModeLinear, true, kRamp, 15.0f, 1.25, 10.0f},
    {"step first", kModeLastValue, false, {{0, 3}, {1, -2}, {2.5f, 8}}, 0.99f, 3.0},
    {"step on a point", kModeLastValue, false, {{0, 3}, {1, -2}, {2.5f, 8}}, 1.0f, -2.0},
    {"same beat: the later is current", kModeLinear, false, {{0, 1}, {2, 3}, {2, 5}, {4, 9}}, 2.0f, 5.0},
    {"same beat: segment from the later", kModeLinear, false, {{0, 1}, {2, 3}, {2, 5}, {4, 9}}, 3.0f, 7.0},
    {"same beat: step", kModeLastValue, false, {{0, 1}, {2, 3}, {2, 5}, {4, 9}}, 2.0f, 5.0},
    {"before the event", kModeLinear, false, {{0, 3}, {20, 5}}, 9.99f, 0.0, 10.0f, 20.0f},
    {"event end is active", kModeLinear, false, {{0, 3}, {20, 5}}, 20.0f, 4.0, 10.0f, 20.0f},
    {"after the event", kModeLinear, false, {{0, 3}, {20, 5}}, 20.01f, 0.0, 10.0f, 20.0f},
    {"smooth inner", kModeSmooth, false, kCurve, 1.25f, cr(1, 4, -2, 6, 0.25)},
    {"smooth first segment: p0 = p1", kModeSmooth, false, kCurve, 0.5f, cr(1, 1, 4, -2, 0.5)},
    {"smooth last segment: p3 = p2", kModeSmooth, false, kCurve, 2.5f, cr(4, -2, 6, 6, 0.5)},
    {"smooth holds", kModeSmooth, false, kCurve, 3.5f, 6.0},
    // With repeat the wrapped neighbours lie behind the segment and are replaced.
    {"smooth repeat first", kModeSmooth, true, kCurve, 0.5f, cr(1, 1, 4, -2, 0.5)},
    {"smooth repeat last", kModeSmooth, true, kCurve, 2.5f, cr(4, -2, 6, 6, 0.5)},
    // After the last point: next = 0, d = -3; the neighbours are points 2 and 1.
    {"smooth repeat wraps", kModeSmooth, true, kCurve, 3.5f, cr(-2, 6, 1, 4, -0.5 / 3.0)},
    {"previous within 0.05", kModeSmooth, false, kClose, 0.5f,
     cr(2, 2, 5, -1, (0.5 - 0.04f) / (1.0 - 0.04f))},
    {"next within 0.05", kModeSmooth, false, kClose, 1.5f, cr(2, 5, -1, -1, 0.5)},
    // Nothing before the first point or in an unknown mode; one point with repeat wraps to itself.
    {"before the first point", kModeSmooth, true, {{2, 5}, {4, 7}}, 1.999f, 0.0},
    {"unknown mode", 3, false, {{2, 5}, {4, 7}}, 2.0f, 0.0},
    {"one point: before it", kModeLinear, true, {{1, 4}}, 0.5f, 0.0},
    {"one point: linear repeat", kModeLinear, true, {{1, 4}}, 60.0f, 4.0},
    {"one point: smooth repeat", kModeSmooth, true, {{1, 4}}, 60.0f, 4.0},
    {"no points", kModeSmooth, true, {}, 2.0f, 0.0},
};
// clang-format on

TEST(TrackValue, FollowsTheModesFormula) {
    for (const ValueCase& c : kValues) {
        const Event event = make_event(c.start, c.end);
        const ControlTrack track = make_track(c.mode, c.repeat, c.points);
        EXPECT_NEAR(event.evaluate_value(&track, c.beat), c.expected, 1e-5) << c.what;
    }
    EXPECT_EQ(make_event(0.0f, 9.0f).evaluate_value(nullptr, 2.0f), 0.0f);
}

using TextCase = std::tuple<const char*, float, int, const char*>;  // track, beat, rate, text

class TrackText : public ::testing::Test {
protected:
    void TearDown() override { current_beat = 0.0f; }

    // Sets the texts of track `name` at their beats.
    void add(const std::string& name, std::vector<std::pair<float, std::string>> points) {
        ControlTrack& track = event.control_points[name];
        for (auto& [beat, text] : points)
            track.points.push_back(ControlPoint{beat, 0.0f, std::move(text)});
    }

    void expect(const std::vector<TextCase>& cases) {
        for (const auto& [track, beat, rate, text] : cases)
            EXPECT_EQ(event.evaluate_text(track, beat, rate), text) << track << " at " << beat;
    }

    Event event = make_event(0.0f, 100.0f);
};

TEST_F(TrackText, PlaceholdersAreReplacedOnceAndTheCurrentPointIsTheLastBeforeTheTime) {
    current_beat = 12.5f;
    event = make_event(8.0f, 20.0f);
    add("caption",
        {{2.25f, "b=<BEAT> i=<IBEAT> cp=<CP> icp=<ICP> acp=<ACP> iacp=<IACP>"}, {9.0f, "x"}});
    expect({{"caption", 10.5f, -1, "b=12.500000 i=12 cp=2.250000 icp=2 acp=10.250000 iacp=10"}});
    current_beat = -2.5f;
    event = make_event(4.0f, 20.0f);
    add("t", {{-2.5f, "<BEAT> <IBEAT> <CP> <ICP> <IACP>"}});
    expect({{"t", 4.0f, -1, "-2.500000 -2 -2.500000 -2 1"}});
    // The current point is the last at or before the time, within the event.
    event = make_event(10.0f, 20.0f);
    add("t", {{1.0f, "one"}, {3.0f, "three"}, {3.0f, "later"}});
    event.control_points["t"].mode = 77;  // mode and repeat play no part in texts
    event.control_points["t"].repeat = true;
    add("h", {{0.0f, "hello"}});
    expect({{"t", 10.5f, -1, ""},
            {"t", 11.0f, -1, "one"},
            {"t", 13.0f, -1, "later"},
            {"missing", 13.0f, -1, ""},
            {"h", 10.0f, -1, "hello"},
            {"h", 20.01f, -1, ""}});
}

TEST_F(TrackText, TypesOnTowardsTheNextPoint) {
    add("t", {{0.0f, "0123456789"}, {2.0f, "abcdefghij"}});
    add("n", {{0.0f, "0123456789"}, {2.0f, "end"}});
    // "Grüße" (7 bytes) never shows half a character; Latin-1 text is cut at any byte.
    add("u", {{0.0f, "Gr\xC3\xBC\xC3\x9F\x65"}, {7.0f, ""}});
    add("l", {{0.0f, "Gr\xFC\xDF\x65"}, {7.0f, ""}});
    // k = floor(u * length * rate) + 1 characters.
    expect({{"t", 0.0f, 1, "0"},
            {"t", 0.5f, 1, "012"},
            {"t", 1.8f, 1, "0123456789"},
            {"t", 0.88f, 2, "012345678"},
            {"t", 0.92f, 2, "0123456789"},
            {"t", 0.0f, -1, "0123456789"},
            {"t", 2.0f, 1, "abcdefghij"},   // the last point shows all of its text
            {"n", 0.05f, -2, ""},           // floor(0.025 * 10 * -2) + 1 = 0
            {"n", 1.0f, -2, "0123456789"},  // k = -9 shows the whole text
            {"u", 0.5f, 1, "G"},
            {"u", 2.5f, 1, "Gr\xC3\xBC"},
            {"u", 4.5f, 1, "Gr\xC3\xBC\xC3\x9F"},
            {"l", 3.5f, 1, "Gr\xFC"},
            {"l", 6.3f, 1, "Gr\xFC\xDF\x65"}});
    // Typing counts the replaced text: "100" is three bytes, half way two show.
    event = make_event(100.0f, 200.0f);
    add("p", {{0.0f, "<IACP>"}, {2.0f, ""}});
    expect({{"p", 100.0f, 1, "1"}, {"p", 101.0f, 1, "10"}, {"p", 101.9f, 1, "100"}});
}

// Only visible audio-sample events fire their samples: a hidden one at the same beat is silent.
TEST(SampleTriggers, OnlyVisibleEventsAtTheBeatFire) {
    Demo demo;
    AudioSample shown, hidden;
    for (const auto& [sample, visible] : {std::pair{&shown, true}, {&hidden, false}}) {
        demo.events.push_back(std::make_unique<Event>(make_event(4, 5)));
        demo.events.back()->type = kAudioSampleEvent;
        demo.events.back()->visible = visible;
        demo.events.back()->audio_sample.object = sample;
    }
    std::vector<AudioSample*> fired;
    for_each_sample_trigger(demo, 4.5f, [&](AudioSample& s) { fired.push_back(&s); });
    EXPECT_EQ(fired, std::vector<AudioSample*>{&shown});
}

// A sample starts once per activation of its event: on the first frame inside it, and again
// each time a group replays it, even when the replays follow each other without a gap.
TEST(SampleTriggers, ASampleStartsOncePerActivation) {
    Demo demo;
    AudioSample sample;
    EventGroup group;
    Event member = make_event(10, 11);  // group-local beats: the earliest member starts at 10
    member.type = kAudioSampleEvent;
    member.audio_sample.object = &sample;
    group.events.push_back({0, "", &member});
    for (const auto& [type, start, end] : {std::tuple{kAudioSampleEvent, 2.0f, 3.0f},
                                           {kGroupEvent, 20.0f, 24.0f},
                                           {kGroupEvent, 24.0f, 28.0f}}) {
        demo.events.push_back(std::make_unique<Event>(make_event(start, end)));
        demo.events.back()->type = type;
        demo.events.back()->audio_sample.object = &sample;
        demo.events.back()->group.object = &group;
    }
    std::vector<float> starts;
    float previous = -std::numeric_limits<float>::infinity();
    for (float beat = 0.0f; beat < 30.0f; beat += 0.125f) {
        for_each_sample_start(demo, previous, beat, [&](AudioSample&) { starts.push_back(beat); });
        previous = beat;
    }
    EXPECT_EQ(starts, (std::vector<float>{2.0f, 20.0f, 24.0f}));
}

}  // namespace
}  // namespace demo
