// Every reference of a demo that resolves to nothing, for the commands that describe and check
// demos.
#pragma once

#include <string>
#include <vector>

#include "demo/demo.h"

namespace demo {

// One line per reference that names nothing, quoting the name a project gave (or the
// identifier a package holds), and per event the frame walk skips.
std::vector<std::string> find_reference_problems(const Demo& demo);

}  // namespace demo
