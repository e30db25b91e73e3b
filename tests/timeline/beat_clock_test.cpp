// The beat clock: started at -offset it gives exactly the player's elapsed * bpm / 60000 -
// offset; paused it holds its beat; moved, it runs on from the new beat.
#include "timeline/beat_clock.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "timeline/beat_timing.h"

namespace demo {
namespace {

TEST(BeatClock, GivesThePlayersBeatThroughPausesSeeksAndTempoChanges) {
    struct Case {
        float bpm, offset;
        uint32_t start, elapsed;
    };
    const Case cases[] = {{130.0f, 0.5f, 0, 60000},     {130.0f, 0.5f, 1234, 221770},
                          {120.0f, 0.0f, 7, 1},         {97.3f, 0.37f, 4294967000u, 5000},
                          {175.0f, 2.25f, 99, 3600000}, {60.0f, -1.0f, 0, 333}};
    for (const Case& c : cases) {
        BeatClock clock;
        clock.start(c.start, -c.offset, c.bpm);
        const float elapsed = static_cast<float>(c.elapsed);
        EXPECT_EQ(clock.beat(c.start + c.elapsed), elapsed * c.bpm / 60000.0f - c.offset)
            << c.bpm << " bpm, " << c.elapsed << " ms";
    }
    BeatClock clock;
    clock.start(1000, 0.0f, 120.0f);  // two beats a second
    EXPECT_EQ(clock.beat(2000), 2.0f);
    clock.pause(2000);
    EXPECT_TRUE(clock.paused());
    EXPECT_EQ(clock.beat(9000), 2.0f);
    clock.seek(9000, 10.25f);  // exact while paused
    EXPECT_EQ(clock.beat(12000), 10.25f);
    clock.resume(12000);
    EXPECT_EQ(clock.beat(12500), 11.25f);
    clock.set_bpm(12500, 60.0f);
    EXPECT_EQ(clock.beat(12500), 11.25f);
    EXPECT_EQ(clock.beat(13500), 12.25f);
    EXPECT_DOUBLE_EQ(music_seconds_at(11.5f, 120.0f, 0.5f), 6.0);
}

}  // namespace
}  // namespace demo
