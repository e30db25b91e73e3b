// Ends the demo when the system sends the application to the background.
#pragma once

#include <SDL.h>

namespace demo {

// SDL event watch: sets `quit_requested` on SDL_APP_WILLENTERBACKGROUND; always returns 1.
// May run on whichever thread delivers the event, so it touches nothing but the atomic flag.
int background_watch(void* user_data, SDL_Event* event);

}  // namespace demo
