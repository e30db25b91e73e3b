#include "serialization/package_error.h"

namespace demo {

PackageError::PackageError(const std::string& what, uint64_t offset)
    : std::runtime_error(what + " (at package offset " + std::to_string(offset) + ")"),
      offset_(offset) {}

}  // namespace demo
