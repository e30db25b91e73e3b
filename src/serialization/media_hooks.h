// What a demo's objects need from the GPU and the sound device while they load.
//
// Stored forms are read and written without either, so the authoring tool needs no display
// and no sound card. The player installs hooks that decode, compile and upload at the points
// of loading where the objects need it; the tool installs none.
#pragma once

namespace demo {

class AudioSample;
class Demo;

class MediaHooks {
public:
    virtual ~MediaHooks() = default;

    // Right after a sample's stored form was read: decode it.
    virtual void audio_sample_loaded(AudioSample& /*sample*/) {}
    // After every object is read and resolved: create the demo's own GPU objects.
    virtual void demo_loaded(Demo& /*demo*/) {}
};

}  // namespace demo
