// The demo's music stream.
#pragma once

namespace demo {

class Demo;

// Decodes the demo's music, registers the output analysis and plays the music once. Does
// nothing when the demo has no music: the clock then runs in silence.
void start_music(Demo& demo);

}  // namespace demo
