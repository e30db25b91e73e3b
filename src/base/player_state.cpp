#include "base/player_state.h"

namespace demo {

int32_t resolution[4] = {1920, 1080, 1920, 1080};
float current_beat = 0.0f;
uint32_t start_ticks = 0;
std::atomic<bool> quit_requested{false};
Demo* current_demo = nullptr;
int32_t audio_frequency = 0;
int32_t audio_channels = 0;
uint32_t white_texture = 0;

}  // namespace demo
