// Finding the demo package at the end of the player's own executable.
#pragma once

#include <memory>
#include <string>

#include "demo/demo.h"
#include "player/package_trailer.h"

namespace demo {

// Opens `executable_path`, reads the package behind it and closes the file. Throws
// PackageUnreadable, with the text for "error.log", when it cannot.
std::unique_ptr<Demo> locate_package(const std::string& executable_path);

}  // namespace demo
