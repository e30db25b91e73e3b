// The demo's music stream.
#pragma once

namespace demo {

class ByteBuffer;

// Decodes the demo's music, registers the output analysis and plays the music once. Does
// nothing when the demo has no music (null or empty): the clock then runs in silence. The
// buffer must live until the process ends.
void start_music(ByteBuffer* music);

// Registers the output analysis on the mixer's post-mix stage, where it sees everything that
// is played. Once per process.
void register_output_analysis();

}  // namespace demo
