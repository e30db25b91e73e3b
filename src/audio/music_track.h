// The demo's music as the authoring tool's preview plays it: started anywhere, paused,
// resumed and stopped with the beat clock.
#pragma once

#include "serialization/byte_buffer.h"

typedef struct _Mix_Music Mix_Music;

namespace demo {

class MusicTrack {
public:
    // Decodes `music` (which must outlive the track); no music when it is empty or does not
    // decode. Needs the audio device open.
    explicit MusicTrack(const ByteBuffer* music);
    // Stops the music and frees the decoder.
    ~MusicTrack();
    MusicTrack(const MusicTrack&) = delete;
    MusicTrack& operator=(const MusicTrack&) = delete;

    bool loaded() const { return music_ != nullptr; }

    // Plays once from `seconds` after the start; from past its end, nothing plays. False when
    // the format can only start at its start and `seconds` is not 0: it is then silent.
    bool play_from(double seconds);
    void pause();
    void resume();
    void stop();

private:
    Mix_Music* music_ = nullptr;
};

}  // namespace demo
