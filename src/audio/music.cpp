#include "audio/music.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include "audio/sound_analysis.h"
#include "serialization/demo.h"

namespace demo {

void start_music(Demo& demo) {
    if (!demo.music || demo.music->size() == 0)
        return;
    // The mixer reads the music from this memory while it plays; the demo keeps it alive.
    SDL_RWops* stream =
        SDL_RWFromConstMem(demo.music->data.data(), static_cast<int>(demo.music->size()));
    Mix_Music* music = Mix_LoadMUS_RW(stream, 1);
    Mix_RegisterEffect(MIX_CHANNEL_POST, analyse_output, nullptr, &demo);
    Mix_PlayMusic(music, 0);
}

}  // namespace demo
