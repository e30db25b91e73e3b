#include "player/player_media.h"

#include "audio/sample_playback.h"

namespace demo {

void PlayerMedia::audio_sample_loaded(AudioSample& sample) { decode_audio_sample(sample); }

void PlayerMedia::demo_loaded(Demo& /*demo*/) {}

}  // namespace demo
