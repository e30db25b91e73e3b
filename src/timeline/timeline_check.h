// Events the frame walk will skip, and group cycles it will not enter twice: told once at load.
#pragma once

#include <string>
#include <vector>

namespace demo {

class Demo;

// One line per effect event without an effect, group event without a group, audio-sample
// event without a sample, group member that names no event, and cycle of group events. A name
// a project gave that names nothing is quoted. (An effect without a program is told by the
// effect.)
std::vector<std::string> find_timeline_problems(const Demo& demo);

}  // namespace demo
