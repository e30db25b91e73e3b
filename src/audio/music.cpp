#include "audio/music.h"

#include <SDL_mixer.h>

#include "audio/music_track.h"
#include "audio/sound_analysis.h"
#include "serialization/byte_buffer.h"

namespace demo {

void start_music(ByteBuffer* music) {
    if (music == nullptr || music->size() == 0)
        return;
    // The mixer reads the music from the demo's buffer while it plays; both live until the
    // process ends, so the track is never released.
    auto* track = new MusicTrack(music);
    register_output_analysis();
    track->play_from(0.0);
}

void register_output_analysis() {
    Mix_RegisterEffect(MIX_CHANNEL_POST, analyse_output, nullptr, nullptr);
}

}  // namespace demo
