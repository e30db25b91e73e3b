// What the player asks of the operating system, in one place per platform: where its own
// executable is, and files opened by UTF-8 paths.
#pragma once

#include <cstdio>
#include <string>

namespace demo {

// The full path of the running executable in UTF-8; empty when the system does not say.
std::string executable_path();

// std::fopen for a UTF-8 path, whatever the system's narrow character set.
std::FILE* open_file(const std::string& path, const char* mode);

}  // namespace demo
