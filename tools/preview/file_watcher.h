// Tells which of a set of files changed on disk. Their folders are watched with inotify for an
// answer as soon as a file is written or renamed into place, and every file is looked at every
// 250 ms in any case, which also covers folders inotify cannot watch.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace demo {

class FileWatcher {
public:
    FileWatcher();
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // Watches exactly these paths from now on; their state now is the baseline.
    void watch(const std::vector<std::string>& paths);

    // The watched paths whose size, time or identity (a save that renames a new file into
    // place) differ from when they were last seen, or which appeared or disappeared. Looks
    // when a folder reported a write or rename, or when `now` (milliseconds) is 250 ms or more
    // after the last look.
    std::vector<std::string> changes(uint32_t now);

    static constexpr uint32_t kPollMs = 250;

private:
    struct FileState {
        bool exists = false;
        int64_t size = 0;
        timespec modified{};
        uint64_t inode = 0;
        bool operator==(const FileState& other) const;
    };
    struct Watched {
        std::string path;
        FileState state;
    };

    static FileState state_of(const std::string& path);
    // True when inotify reported something since the last call (drains its queue).
    bool folders_reported();

    int inotify_ = -1;
    std::vector<int> folder_watches_;
    std::vector<Watched> files_;
    uint32_t last_look_ = 0;
};

}  // namespace demo
