#include "player/background_watch.h"

#include "base/player_state.h"

namespace demo {

int background_watch(void* /*user_data*/, SDL_Event* event) {
    if (event->type == SDL_APP_WILLENTERBACKGROUND)
        quit_requested = true;
    return 1;
}

}  // namespace demo
