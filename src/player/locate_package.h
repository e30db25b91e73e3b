// Finding the demo package at the end of the player's own executable.
#pragma once

#include <string>

#include "player/package_trailer.h"

namespace demo {

// Opens `executable_path`, reads the package into `current_demo`, prepares it and closes the
// file. Throws PackageUnreadable, with the text for "error.log", when it cannot.
void locate_package(const std::string& executable_path);

}  // namespace demo
