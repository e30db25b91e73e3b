// Linux: the kernel names the executable, and paths are bytes.
#include <unistd.h>

#include <climits>

#include "player/platform.h"

namespace demo {

std::string executable_path() {
    char path[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

std::FILE* open_file(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

}  // namespace demo
