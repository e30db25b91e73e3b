// The GPU side of a loaded demo, kept apart from its stored forms so that the authoring tool
// reads and writes packages without an OpenGL context.
#include "serialization/demo.h"

namespace demo {

void Demo::prepare_after_load() {}

void Demo::prime_effects() {}

}  // namespace demo
