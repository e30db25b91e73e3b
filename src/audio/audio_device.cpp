#include "audio/audio_device.h"

#include <SDL_mixer.h>

#include "base/player_state.h"

namespace demo {

bool open_audio_device() {
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024) == -1)
        return false;
    // The format is queried with the rest and not used: the mixer converts to it.
    Uint16 format = 0;
    int frequency = 0;
    int channels = 0;
    Mix_QuerySpec(&frequency, &format, &channels);
    audio_frequency = frequency;
    audio_channels = channels;
    return true;
}

}  // namespace demo
