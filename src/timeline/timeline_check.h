// Events the frame walk will skip, and group cycles it will not enter twice: told once at load.
#pragma once

#include <string>
#include <vector>

namespace demo {

class Demo;

// One line per effect event without an effect or program, group event without a group,
// group member that names no event, and cycle of group events.
std::vector<std::string> find_timeline_problems(const Demo& demo);

}  // namespace demo
