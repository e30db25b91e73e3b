// The one error every failure to read a package is reported through.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace demo {

// A package that is truncated, corrupt, or holds something this build cannot read. The
// message names the problem and the package offset where reading stopped.
class PackageError : public std::runtime_error {
public:
    PackageError(const std::string& what, uint64_t offset);
    uint64_t offset() const { return offset_; }

private:
    uint64_t offset_;
};

}  // namespace demo
