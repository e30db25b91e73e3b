#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "player/player_state.h"
#include "timeline/event.h"

namespace demo {
namespace {

ControlTrack make_track(uint32_t mode, bool repeat, std::vector<std::pair<float, float>> points) {
    ControlTrack track;
    track.mode = mode;
    track.repeat = repeat;
    for (const auto& [beat, value] : points) {
        track.points.push_back(ControlPoint{beat, value, ""});
    }
    return track;
}

ControlTrack text_track(std::vector<std::pair<float, std::string>> points) {
    ControlTrack track;
    for (auto& [beat, text] : points) {
        track.points.push_back(ControlPoint{beat, 0.0f, std::move(text)});
    }
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
double catmull_rom(double p0, double p1, double p2, double p3, double u) {
    return 0.5 * (2 * p1 + (p2 - p0) * u + (2 * p0 - 5 * p1 + 4 * p2 - p3) * u * u +
                  (-p0 + 3 * p1 - 3 * p2 + p3) * u * u * u);
}

constexpr double kTolerance = 1e-5;

// -------------------------------------------------------------------------------------------
// Numeric tracks
// -------------------------------------------------------------------------------------------

TEST(TrackValue, LinearInterpolatesThenHoldsTheLastValue) {
    Event event = make_event(10.0f, 100.0f);
    const ControlTrack track = make_track(kModeLinear, false, {{0.0f, 0.0f}, {4.0f, 1.0f}});
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 10.0f), 0.0f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 11.0f), 0.25f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 13.0f), 0.75f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 14.0f), 1.0f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 16.0f), 1.0f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 90.0f), 1.0f);
}

TEST(TrackValue, RepeatInterpolatesFromTheLastPointTowardsTheFirst) {
    Event event = make_event(10.0f, 100.0f);
    const ControlTrack track = make_track(kModeLinear, true, {{0.0f, 0.0f}, {4.0f, 1.0f}});
    // Between the points nothing changes.
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 11.0f), 0.25f);
    // After the last point d = 0 - 4, so u = (t - 4) / -4 runs negative.
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 14.0f), 1.0f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 15.0f), 1.25f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 16.0f), 1.5f);
}

TEST(TrackValue, NothingBeforeTheFirstPointInAnyMode) {
    Event event = make_event(0.0f, 100.0f);
    for (uint32_t mode : {kModeLastValue, kModeLinear, kModeSmooth}) {
        for (bool repeat : {false, true}) {
            const ControlTrack track = make_track(mode, repeat, {{2.0f, 5.0f}, {4.0f, 7.0f}});
            EXPECT_EQ(event.evaluate_value(&track, 1.0f), 0.0f) << mode << " " << repeat;
            EXPECT_EQ(event.evaluate_value(&track, 1.999f), 0.0f) << mode << " " << repeat;
            EXPECT_FLOAT_EQ(event.evaluate_value(&track, 2.0f), 5.0f) << mode << " " << repeat;
        }
    }
}

TEST(TrackValue, LastValueSteps) {
    Event event = make_event(0.0f, 100.0f);
    const ControlTrack track =
        make_track(kModeLastValue, false, {{0.0f, 3.0f}, {1.0f, -2.0f}, {2.5f, 8.0f}});
    EXPECT_EQ(event.evaluate_value(&track, 0.0f), 3.0f);
    EXPECT_EQ(event.evaluate_value(&track, 0.99f), 3.0f);
    EXPECT_EQ(event.evaluate_value(&track, 1.0f), -2.0f);
    EXPECT_EQ(event.evaluate_value(&track, 2.4f), -2.0f);
    EXPECT_EQ(event.evaluate_value(&track, 2.5f), 8.0f);
    EXPECT_EQ(event.evaluate_value(&track, 50.0f), 8.0f);
}

TEST(TrackValue, OfTwoPointsOnOneBeatTheLaterIsCurrent) {
    Event event = make_event(0.0f, 100.0f);
    const ControlTrack linear =
        make_track(kModeLinear, false, {{0.0f, 1.0f}, {2.0f, 3.0f}, {2.0f, 5.0f}, {4.0f, 9.0f}});
    // Before the shared beat the segment runs to the first of the two.
    EXPECT_FLOAT_EQ(event.evaluate_value(&linear, 1.0f), 2.0f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&linear, 2.0f), 5.0f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&linear, 3.0f), 7.0f);

    ControlTrack last = linear;
    last.mode = kModeLastValue;
    EXPECT_EQ(event.evaluate_value(&last, 2.0f), 5.0f);
}

TEST(TrackValue, SinglePointHoldsFromItsBeatOn) {
    Event event = make_event(0.0f, 100.0f);
    for (uint32_t mode : {kModeLastValue, kModeLinear, kModeSmooth}) {
        for (bool repeat : {false, true}) {
            const ControlTrack track = make_track(mode, repeat, {{1.0f, 4.0f}});
            EXPECT_EQ(event.evaluate_value(&track, 0.5f), 0.0f) << mode << " " << repeat;
            EXPECT_EQ(event.evaluate_value(&track, 1.0f), 4.0f) << mode << " " << repeat;
            EXPECT_EQ(event.evaluate_value(&track, 60.0f), 4.0f) << mode << " " << repeat;
        }
    }
}

TEST(TrackValue, UnknownModeAbsentAndEmptyTracksGiveZero) {
    Event event = make_event(0.0f, 100.0f);
    for (uint32_t mode : {3u, 4u, 99u, 0xFFFFFFFFu}) {
        const ControlTrack track = make_track(mode, false, {{0.0f, 5.0f}, {4.0f, 9.0f}});
        EXPECT_EQ(event.evaluate_value(&track, 0.0f), 0.0f) << mode;
        EXPECT_EQ(event.evaluate_value(&track, 2.0f), 0.0f) << mode;
        EXPECT_EQ(event.evaluate_value(&track, 8.0f), 0.0f) << mode;
    }
    const ControlTrack empty;
    EXPECT_EQ(event.evaluate_value(&empty, 2.0f), 0.0f);
    EXPECT_EQ(event.evaluate_value(nullptr, 2.0f), 0.0f);
    EXPECT_EQ(event.find_track("missing"), nullptr);
}

TEST(TrackValue, BothEndsOfTheEventAreActive) {
    Event event = make_event(10.0f, 20.0f);
    const ControlTrack track = make_track(kModeLinear, false, {{0.0f, 3.0f}, {20.0f, 5.0f}});
    EXPECT_EQ(event.evaluate_value(&track, 9.99f), 0.0f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 10.0f), 3.0f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 20.0f), 4.0f);
    EXPECT_EQ(event.evaluate_value(&track, 20.01f), 0.0f);
    EXPECT_EQ(event.evaluate_value(&track, 1000.0f), 0.0f);
}

// -------------------------------------------------------------------------------------------
// Smooth (Catmull-Rom)
// -------------------------------------------------------------------------------------------

TEST(TrackSmooth, InnerSegmentUsesBothNeighbours) {
    Event event = make_event(0.0f, 100.0f);
    const ControlTrack track =
        make_track(kModeSmooth, false, {{0.0f, 1.0f}, {1.0f, 4.0f}, {2.0f, -2.0f}, {3.0f, 6.0f}});
    EXPECT_NEAR(event.evaluate_value(&track, 1.25f), catmull_rom(1, 4, -2, 6, 0.25), kTolerance);
    EXPECT_NEAR(event.evaluate_value(&track, 1.5f), catmull_rom(1, 4, -2, 6, 0.5), kTolerance);
    // The curve passes through its points.
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 1.0f), 4.0f);
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 2.0f), -2.0f);
}

TEST(TrackSmooth, OuterSegmentsWithoutRepeatUseTheirOwnEnds) {
    Event event = make_event(0.0f, 100.0f);
    const ControlTrack track =
        make_track(kModeSmooth, false, {{0.0f, 1.0f}, {1.0f, 4.0f}, {2.0f, -2.0f}, {3.0f, 6.0f}});
    // First segment: the previous neighbour is the point itself, so p0 = p1.
    EXPECT_NEAR(event.evaluate_value(&track, 0.5f), catmull_rom(1, 1, 4, -2, 0.5), kTolerance);
    EXPECT_NEAR(event.evaluate_value(&track, 0.25f), catmull_rom(1, 1, 4, -2, 0.25), kTolerance);
    // Last segment: the neighbour after is the end point itself, so p3 = p2.
    EXPECT_NEAR(event.evaluate_value(&track, 2.5f), catmull_rom(4, -2, 6, 6, 0.5), kTolerance);
    EXPECT_NEAR(event.evaluate_value(&track, 2.75f), catmull_rom(4, -2, 6, 6, 0.75), kTolerance);
    // After the last point the value holds.
    EXPECT_FLOAT_EQ(event.evaluate_value(&track, 3.5f), 6.0f);
}

TEST(TrackSmooth, RepeatWrapsIntoASegmentFromTheLastPointToTheFirst) {
    Event event = make_event(0.0f, 100.0f);
    const ControlTrack track =
        make_track(kModeSmooth, true, {{0.0f, 1.0f}, {1.0f, 4.0f}, {2.0f, -2.0f}, {3.0f, 6.0f}});
    // The wrapped neighbours lie behind the segment (negative gaps), so they are replaced.
    EXPECT_NEAR(event.evaluate_value(&track, 0.5f), catmull_rom(1, 1, 4, -2, 0.5), kTolerance);
    EXPECT_NEAR(event.evaluate_value(&track, 2.5f), catmull_rom(4, -2, 6, 6, 0.5), kTolerance);
    // After the last point: cur = 3, next = 0, d = -3, u = (3.5 - 3) / -3; the neighbours are
    // the point before the last and the second point.
    EXPECT_NEAR(event.evaluate_value(&track, 3.5f), catmull_rom(-2, 6, 1, 4, -0.5 / 3.0),
                kTolerance);
}

TEST(TrackSmooth, NeighboursWithinFiveHundredthsOfABeatAreReplaced) {
    Event event = make_event(0.0f, 100.0f);
    const ControlTrack track =
        make_track(kModeSmooth, false,
                   {{0.0f, 10.0f}, {0.04f, 2.0f}, {1.0f, 5.0f}, {2.0f, -1.0f}, {2.03f, 20.0f}});
    // Segment 0.04 .. 1: the previous point is 0.04 beats away, so p0 = p1.
    const double u1 = (0.5 - 0.04f) / (1.0 - 0.04f);
    EXPECT_NEAR(event.evaluate_value(&track, 0.5f), catmull_rom(2, 2, 5, -1, u1), kTolerance);
    // Segment 1 .. 2: the point after is 0.03 beats away, so p3 = p2.
    EXPECT_NEAR(event.evaluate_value(&track, 1.5f), catmull_rom(2, 5, -1, -1, 0.5), kTolerance);
}

TEST(TrackSmooth, TheGapIsComparedInDoublePrecision) {
    Event event = make_event(0.0f, 100.0f);
    // 0.05f is slightly more than 0.05, so a neighbour at that distance is kept ...
    const ControlTrack kept =
        make_track(kModeSmooth, false, {{0.0f, 10.0f}, {0.05f, 2.0f}, {1.05f, 5.0f}, {3.0f, 0.0f}});
    const double u = (0.55f - 0.05f) / (1.05f - 0.05f);
    EXPECT_NEAR(event.evaluate_value(&kept, 0.55f), catmull_rom(10, 2, 5, 0, u), kTolerance);
    // ... while 1.05f - 1.0f is slightly less, so that one is replaced.
    const ControlTrack replaced =
        make_track(kModeSmooth, false, {{1.0f, 10.0f}, {1.05f, 2.0f}, {2.05f, 5.0f}, {4.0f, 0.0f}});
    const double v = (1.55f - 1.05f) / (2.05f - 1.05f);
    EXPECT_NEAR(event.evaluate_value(&replaced, 1.55f), catmull_rom(2, 2, 5, 0, v), kTolerance);

    // The same on the far side: the point after the segment lies exactly 0.05f beyond it.
    const float next = 0x1p-10f;
    const float after = next + 0.05f;
    ASSERT_EQ(after - next, 0.05f);
    const ControlTrack far =
        make_track(kModeSmooth, false, {{0.0f, 1.0f}, {next, 3.0f}, {after, -4.0f}, {1.0f, 0.0f}});
    EXPECT_NEAR(event.evaluate_value(&far, 0x1p-11f), catmull_rom(1, 1, 3, -4, 0.5), kTolerance);
}

// -------------------------------------------------------------------------------------------
// Text tracks
// -------------------------------------------------------------------------------------------

class TrackText : public ::testing::Test {
protected:
    void SetUp() override { saved_beat_ = current_beat; }
    void TearDown() override { current_beat = saved_beat_; }

private:
    float saved_beat_ = 0.0f;
};

TEST_F(TrackText, PlaceholdersAreReplacedOnce) {
    current_beat = 12.5f;
    Event event = make_event(8.0f, 20.0f);
    event.control_points["caption"] = text_track(
        {{2.25f, "b=<BEAT> i=<IBEAT> cp=<CP> icp=<ICP> acp=<ACP> iacp=<IACP>"}, {9.0f, "x"}});
    EXPECT_EQ(event.evaluate_text("caption", 10.5f, -1),
              "b=12.500000 i=12 cp=2.250000 icp=2 acp=10.250000 iacp=10");

    event.control_points["twice"] =
        text_track({{0.0f,
                     "<BEAT>|<BEAT> <IBEAT><IBEAT> <CP><CP> <ICP><ICP> <ACP><ACP> "
                     "<IACP><IACP>"}});
    EXPECT_EQ(event.evaluate_text("twice", 10.5f, -1),
              "12.500000|<BEAT> 12<IBEAT> 0.000000<CP> 0<ICP> 8.000000<ACP> 8<IACP>");
}

TEST_F(TrackText, NegativeBeatsTruncateTowardZero) {
    current_beat = -2.5f;
    Event event = make_event(4.0f, 20.0f);
    event.control_points["t"] = text_track({{-2.5f, "<BEAT> <IBEAT> <CP> <ICP> <IACP>"}});
    EXPECT_EQ(event.evaluate_text("t", 4.0f, -1), "-2.500000 -2 -2.500000 -2 1");
}

TEST_F(TrackText, CurrentPointIsTheLastAtOrBeforeTheTime) {
    Event event = make_event(10.0f, 20.0f);
    // Mode and repeat play no part in texts.
    ControlTrack track = text_track({{1.0f, "one"}, {3.0f, "three"}, {3.0f, "later"}});
    track.mode = 77;
    track.repeat = true;
    event.control_points["t"] = track;
    EXPECT_EQ(event.evaluate_text("t", 10.5f, -1), "");
    EXPECT_EQ(event.evaluate_text("t", 11.0f, -1), "one");
    EXPECT_EQ(event.evaluate_text("t", 12.9f, -1), "one");
    EXPECT_EQ(event.evaluate_text("t", 13.0f, -1), "later");
    EXPECT_EQ(event.evaluate_text("t", 19.0f, -1), "later");
    EXPECT_EQ(event.evaluate_text("missing", 13.0f, -1), "");
    event.control_points["empty"] = ControlTrack{};
    EXPECT_EQ(event.evaluate_text("empty", 13.0f, -1), "");
}

TEST_F(TrackText, BothEndsOfTheEventAreActive) {
    Event event = make_event(10.0f, 20.0f);
    event.control_points["t"] = text_track({{0.0f, "hello"}});
    EXPECT_EQ(event.evaluate_text("t", 9.99f, -1), "");
    EXPECT_EQ(event.evaluate_text("t", 10.0f, -1), "hello");
    EXPECT_EQ(event.evaluate_text("t", 20.0f, -1), "hello");
    EXPECT_EQ(event.evaluate_text("t", 20.01f, -1), "");
}

TEST_F(TrackText, TypesOnTowardsTheNextPoint) {
    Event event = make_event(0.0f, 100.0f);
    event.control_points["t"] = text_track({{0.0f, "0123456789"}, {2.0f, "abcdefghij"}});
    // One character per beat of u: k = floor(u * 10) + 1.
    EXPECT_EQ(event.evaluate_text("t", 0.0f, 1), "0");
    EXPECT_EQ(event.evaluate_text("t", 0.5f, 1), "012");
    EXPECT_EQ(event.evaluate_text("t", 1.0f, 1), "012345");
    EXPECT_EQ(event.evaluate_text("t", 1.7f, 1), "012345678");
    EXPECT_EQ(event.evaluate_text("t", 1.8f, 1), "0123456789");
    EXPECT_EQ(event.evaluate_text("t", 1.95f, 1), "0123456789");
    // Twice as fast: all from u = 0.45 on.
    EXPECT_EQ(event.evaluate_text("t", 0.5f, 2), "012345");
    EXPECT_EQ(event.evaluate_text("t", 0.88f, 2), "012345678");
    EXPECT_EQ(event.evaluate_text("t", 0.92f, 2), "0123456789");
    // -1 shows everything at once.
    EXPECT_EQ(event.evaluate_text("t", 0.0f, -1), "0123456789");
    // The last point has nothing to type towards and shows all of its text.
    EXPECT_EQ(event.evaluate_text("t", 2.0f, 1), "abcdefghij");
    EXPECT_EQ(event.evaluate_text("t", 50.0f, 1), "abcdefghij");
}

TEST_F(TrackText, OtherNegativeRatesGiveNothingOrEverything) {
    Event event = make_event(0.0f, 100.0f);
    event.control_points["t"] = text_track({{0.0f, "0123456789"}, {2.0f, "end"}});
    // u = 0.025: floor(0.025 * 10 * -2) + 1 = 0 characters.
    EXPECT_EQ(event.evaluate_text("t", 0.05f, -2), "");
    // u = 0.5: k = -9 is negative, which shows the whole text.
    EXPECT_EQ(event.evaluate_text("t", 1.0f, -2), "0123456789");
}

// Bytes still count, but UTF-8 text never shows half a character; Latin-1 text (not valid
// UTF-8) is cut at any byte.
TEST_F(TrackText, UtfEightTextTypesOnWholeCharacters) {
    Event event = make_event(0.0f, 100.0f);
    // "Grüße": 7 bytes, ü and ß two each. k = floor(u * 7) + 1.
    event.control_points["t"] = text_track({{0.0f, "Gr\xC3\xBC\xC3\x9F\x65"}, {7.0f, ""}});
    event.control_points["l"] = text_track({{0.0f, "Gr\xFC\xDF\x65"}, {7.0f, ""}});
    const char* const utf8[] = {"G", "Gr", "Gr\xC3\xBC", "Gr\xC3\xBC", "Gr\xC3\xBC\xC3\x9F"};
    const char* const latin1[] = {"G", "Gr", "Gr\xFC", "Gr\xFC\xDF", "Gr\xFC\xDF\x65"};
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(event.evaluate_text("t", k - 1 + 0.5f, 1), utf8[k - 1]) << k;
        EXPECT_EQ(event.evaluate_text("l", (k - 1 + 0.5f) * 7 / 5, 1), latin1[k - 1]) << k;
    }
}

TEST_F(TrackText, TypingCountsTheReplacedText) {
    Event event = make_event(100.0f, 200.0f);
    // "<IACP>" becomes "100", three bytes; half way two of them show.
    event.control_points["t"] = text_track({{0.0f, "<IACP>"}, {2.0f, ""}});
    EXPECT_EQ(event.evaluate_text("t", 100.0f, 1), "1");
    EXPECT_EQ(event.evaluate_text("t", 101.0f, 1), "10");
    EXPECT_EQ(event.evaluate_text("t", 101.9f, 1), "100");
}

}  // namespace
}  // namespace demo
