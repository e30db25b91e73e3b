// The player's loading hooks: decode samples and create GPU objects as the demo loads.
#pragma once

#include "serialization/media_hooks.h"

namespace demo {

class PlayerMedia : public MediaHooks {
public:
    void audio_sample_loaded(AudioSample& sample) override;
    void demo_loaded(Demo& demo) override;
};

}  // namespace demo
