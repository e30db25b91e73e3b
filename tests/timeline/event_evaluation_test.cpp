// Track values and texts of an event against the interpolation and typing formulas.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio_sample.h"
#include "player/player_state.h"
#include "serialization/demo.h"
#include "timeline/event.h"
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
// 0.05f is slightly more than 0.05: a neighbour that far is kept ...
const Points kKept = {{0, 10}, {0.05f, 2}, {1.05f, 5}, {3, 0}};
// ... while 1.05f - 1.0f is slightly less, so that one is replaced.
const Points kReplaced = {{1, 10}, {1.05f, 2}, {2.05f, 5}, {4, 0}};
// The point after the segment lies exactly 0.05f beyond it.
const Points kFar = {{0, 1}, {0x1p-10f, 3}, {0x1p-10f + 0.05f, -4}, {1, 0}};

// clang-format off
const ValueCase kValues[] = {
    {"linear at the event start", kModeLinear, false, kRamp, 10.0f, 0.0, 10.0f},
    {"linear a quarter", kModeLinear, false, kRamp, 11.0f, 0.25, 10.0f},
    {"linear on the last point", kModeLinear, false, kRamp, 14.0f, 1.0, 10.0f},
    {"linear holds to the end", kModeLinear, false, kRamp, 90.0f, 1.0, 10.0f},
    {"repeat between points", kModeLinear, true, kRamp, 11.0f, 0.25, 10.0f},
    {"repeat on the last point", kModeLinear, true, kRamp, 14.0f, 1.0, 10.0f},
    // After the last point d = 0 - 4, so u = (t - 4) / -4 runs negative.
    {"repeat towards the first", kModeLinear, true, kRamp, 15.0f, 1.25, 10.0f},
    {"step first", kModeLastValue, false, {{0, 3}, {1, -2}, {2.5f, 8}}, 0.99f, 3.0},
    {"step on a point", kModeLastValue, false, {{0, 3}, {1, -2}, {2.5f, 8}}, 1.0f, -2.0},
    {"step last", kModeLastValue, false, {{0, 3}, {1, -2}, {2.5f, 8}}, 50.0f, 8.0},
    {"same beat: segment to the first", kModeLinear, false, {{0, 1}, {2, 3}, {2, 5}, {4, 9}}, 1.0f, 2.0},
    {"same beat: the later is current", kModeLinear, false, {{0, 1}, {2, 3}, {2, 5}, {4, 9}}, 2.0f, 5.0},
    {"same beat: segment from the later", kModeLinear, false, {{0, 1}, {2, 3}, {2, 5}, {4, 9}}, 3.0f, 7.0},
    {"same beat: step", kModeLastValue, false, {{0, 1}, {2, 3}, {2, 5}, {4, 9}}, 2.0f, 5.0},
    {"before the event", kModeLinear, false, {{0, 3}, {20, 5}}, 9.99f, 0.0, 10.0f, 20.0f},
    {"event start", kModeLinear, false, {{0, 3}, {20, 5}}, 10.0f, 3.0, 10.0f, 20.0f},
    {"event end is active", kModeLinear, false, {{0, 3}, {20, 5}}, 20.0f, 4.0, 10.0f, 20.0f},
    {"after the event", kModeLinear, false, {{0, 3}, {20, 5}}, 20.01f, 0.0, 10.0f, 20.0f},
    {"smooth inner", kModeSmooth, false, kCurve, 1.25f, cr(1, 4, -2, 6, 0.25)},
    {"smooth through a point", kModeSmooth, false, kCurve, 1.0f, 4.0},
    {"smooth through the next", kModeSmooth, false, kCurve, 2.0f, -2.0},
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
    {"gap in double: kept", kModeSmooth, false, kKept, 0.55f,
     cr(10, 2, 5, 0, (0.55f - 0.05f) / (1.05f - 0.05f))},
    {"gap in double: replaced", kModeSmooth, false, kReplaced, 1.55f,
     cr(2, 2, 5, 0, (1.55f - 1.05f) / (2.05f - 1.05f))},
    {"gap in double: far side", kModeSmooth, false, kFar, 0x1p-11f, cr(1, 1, 3, -4, 0.5)},
};
// clang-format on

TEST(TrackValue, FollowsTheModesFormula) {
    for (const ValueCase& c : kValues) {
        const Event event = make_event(c.start, c.end);
        const ControlTrack track = make_track(c.mode, c.repeat, c.points);
        EXPECT_NEAR(event.evaluate_value(&track, c.beat), c.expected, 1e-5) << c.what;
    }
}

TEST(TrackValue, NothingBeforeTheFirstPointAndUnknownModesGiveZero) {
    const Event event = make_event(0.0f, 100.0f);
    const uint32_t modes[] = {kModeLastValue, kModeLinear, kModeSmooth, 3, 0xFFFFFFFF};
    for (uint32_t mode : modes) {
        const bool known = mode <= kModeSmooth;
        for (bool repeat : {false, true}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " repeat " << repeat);
            const ControlTrack two = make_track(mode, repeat, {{2, 5}, {4, 7}});
            EXPECT_EQ(event.evaluate_value(&two, 1.999f), 0.0f);
            EXPECT_FLOAT_EQ(event.evaluate_value(&two, 2.0f), known ? 5.0f : 0.0f);
            const ControlTrack one = make_track(mode, repeat, {{1, 4}});
            EXPECT_EQ(event.evaluate_value(&one, 0.5f), 0.0f);
            EXPECT_EQ(event.evaluate_value(&one, 60.0f), known ? 4.0f : 0.0f);
        }
    }
    const ControlTrack empty;
    EXPECT_EQ(event.evaluate_value(&empty, 2.0f), 0.0f);
    EXPECT_EQ(event.evaluate_value(nullptr, 2.0f), 0.0f);
    EXPECT_EQ(event.find_track("missing"), nullptr);
}

struct TextCase {
    const char* track;
    float beat;
    int rate;
    const char* expected;
};

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
        for (const TextCase& c : cases) {
            EXPECT_EQ(event.evaluate_text(c.track, c.beat, c.rate), c.expected)
                << c.track << " at " << c.beat << " rate " << c.rate;
        }
    }

    Event event = make_event(0.0f, 100.0f);
};

TEST_F(TrackText, PlaceholdersAreReplacedOnceAndTruncateTowardZero) {
    current_beat = 12.5f;
    event = make_event(8.0f, 20.0f);
    add("caption",
        {{2.25f, "b=<BEAT> i=<IBEAT> cp=<CP> icp=<ICP> acp=<ACP> iacp=<IACP>"}, {9.0f, "x"}});
    add("twice", {{0.0f,
                   "<BEAT>|<BEAT> <IBEAT><IBEAT> <CP><CP> <ICP><ICP> <ACP><ACP> "
                   "<IACP><IACP>"}});
    expect({{"caption", 10.5f, -1, "b=12.500000 i=12 cp=2.250000 icp=2 acp=10.250000 iacp=10"},
            {"twice", 10.5f, -1,
             "12.500000|<BEAT> 12<IBEAT> 0.000000<CP> 0<ICP> 8.000000<ACP> 8<IACP>"}});
    current_beat = -2.5f;
    event = make_event(4.0f, 20.0f);
    add("t", {{-2.5f, "<BEAT> <IBEAT> <CP> <ICP> <IACP>"}});
    expect({{"t", 4.0f, -1, "-2.500000 -2 -2.500000 -2 1"}});
}

TEST_F(TrackText, CurrentPointIsTheLastAtOrBeforeTheTimeWithinTheEvent) {
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
            {"t", 1.0f, 1, "012345"},
            {"t", 1.8f, 1, "0123456789"},
            {"t", 0.5f, 2, "012345"},
            {"t", 0.88f, 2, "012345678"},
            {"t", 0.92f, 2, "0123456789"},
            {"t", 0.0f, -1, "0123456789"},
            {"t", 2.0f, 1, "abcdefghij"},   // the last point shows all of its text
            {"n", 0.05f, -2, ""},           // floor(0.025 * 10 * -2) + 1 = 0
            {"n", 1.0f, -2, "0123456789"},  // k = -9 shows the whole text
            {"u", 0.5f, 1, "G"},
            {"u", 1.5f, 1, "Gr"},
            {"u", 2.5f, 1, "Gr\xC3\xBC"},
            {"u", 4.5f, 1, "Gr\xC3\xBC\xC3\x9F"},
            {"l", 0.7f, 1, "G"},
            {"l", 3.5f, 1, "Gr\xFC"},
            {"l", 4.9f, 1, "Gr\xFC\xDF"},
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

}  // namespace
}  // namespace demo
