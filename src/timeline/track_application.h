// Turning an effect event's tracks into the texts of its font textures and the uniforms of its
// program. A group event's track named "<member name>.<target>" wins over the member's own.
#pragma once

namespace demo {

class Event;

// Refreshes the text of every font texture of the event's effect at `beat`; outside the
// event's range the texts are cleared.
void update_texts(Event& event, float beat, const Event* group_event);

// Sets every tunable uniform of the event's effect program at `beat` (the default value
// outside the event's range or without points). Runs as the program hook of the draw.
void apply_to_program(Event& event, float beat, const Event* group_event);

}  // namespace demo
