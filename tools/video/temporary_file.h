// A file written under a temporary name in the folder of its final name and renamed to it
// only once it is complete, so a failed or interrupted run leaves nothing under that name.
#pragma once

#include <string>

namespace demo {

class TemporaryFile {
public:
    // Creates the empty temporary file beside `final_path`. Throws std::runtime_error when the
    // folder is missing or not writable.
    explicit TemporaryFile(const std::string& final_path);
    // Removes the temporary file unless it was committed.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return temporary_; }

    // Renames the temporary file to the final name, replacing any file there.
    void commit();

private:
    std::string final_;
    std::string temporary_;
    bool committed_ = false;
};

}  // namespace demo
