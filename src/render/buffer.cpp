#include "render/buffer.h"

#include "base/player_state.h"

namespace demo {

Buffer::Buffer()
    : pixels(static_cast<size_t>(resolution[2]) * static_cast<size_t>(resolution[3]) * 4, 0),
      size(resolution[2] * resolution[3] * 4),
      width(resolution[2]),
      height(resolution[3]) {}

}  // namespace demo
