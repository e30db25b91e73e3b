#include "temporary_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <stdexcept>

namespace demo {

namespace fs = std::filesystem;

namespace {

// Temporary files not yet committed or removed. A library that ends the process with exit()
// (Xlib does when its display goes away, as under xvfb-run on Ctrl-C) skips the destructors
// on the stack, but this list is destroyed at exit and removes what it still holds.
struct PendingFiles {
    std::set<std::string> paths;
    ~PendingFiles() {
        for (const std::string& path : paths)
            unlink(path.c_str());
    }
};

PendingFiles& pending() {
    static PendingFiles files;
    return files;
}

}  // namespace

TemporaryFile::TemporaryFile(const std::string& final_path)
    : final_(fs::absolute(final_path).string()) {
    const fs::path target(final_);
    // A hidden name with the process id keeps concurrent runs and the final name apart; a
    // clash with a stale file of an earlier run takes the next number.
    for (int attempt = 0;; ++attempt) {
        const std::string name = "." + target.filename().string() + "." + std::to_string(getpid()) +
                                 "-" + std::to_string(attempt) + ".part";
        const std::string candidate = (target.parent_path() / name).string();
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            temporary_ = candidate;
            pending().paths.insert(temporary_);
            return;
        }
        if (errno != EEXIST || attempt >= 100) {
            throw std::runtime_error("cannot write " + final_path + ": " + std::strerror(errno));
        }
    }
}

TemporaryFile::~TemporaryFile() {
    if (!committed_)
        unlink(temporary_.c_str());
    pending().paths.erase(temporary_);
}

void TemporaryFile::commit() {
    std::error_code error;
    fs::rename(temporary_, final_, error);
    if (error)
        throw std::runtime_error("cannot rename the finished file to " + final_ + ": " +
                                 error.message());
    committed_ = true;
    pending().paths.erase(temporary_);
}

}  // namespace demo
