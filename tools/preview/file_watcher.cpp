#include "file_watcher.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>

namespace demo {

bool FileWatcher::FileState::operator==(const FileState& other) const {
    return exists == other.exists && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           inode == other.inode;
}

FileWatcher::FileWatcher() {
    // Without inotify (too many watchers, another system) looking every 250 ms still works.
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

FileWatcher::~FileWatcher() {
    if (inotify_ >= 0)
        close(inotify_);
}

void FileWatcher::watch(const std::vector<std::string>& paths) {
    if (inotify_ >= 0) {
        for (int watch : folder_watches_)
            inotify_rm_watch(inotify_, watch);
    }
    folder_watches_.clear();
    files_.clear();
    std::set<std::string> folders;
    for (const std::string& path : paths) {
        files_.push_back({path, state_of(path)});
        folders.insert(std::filesystem::path(path).parent_path().string());
    }
    if (inotify_ < 0)
        return;
    for (const std::string& folder : folders) {
        // Written and closed, or renamed into place: the two ways an editor finishes a save.
        const int watch = inotify_add_watch(inotify_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
        if (watch >= 0)
            folder_watches_.push_back(watch);
    }
}

std::vector<std::string> FileWatcher::changes(uint32_t now) {
    const bool reported = folders_reported();
    if (!reported && static_cast<uint32_t>(now - last_look_) < kPollMs)
        return {};
    last_look_ = now;
    std::vector<std::string> changed;
    for (Watched& file : files_) {
        const FileState state = state_of(file.path);
        if (!(state == file.state)) {
            file.state = state;
            changed.push_back(file.path);
        }
    }
    return changed;
}

FileWatcher::FileState FileWatcher::state_of(const std::string& path) {
    FileState state;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return state;
    state.exists = true;
    state.size = info.st_size;
    state.modified = info.st_mtim;
    state.inode = info.st_ino;
    return state;
}

bool FileWatcher::folders_reported() {
    if (inotify_ < 0)
        return false;
    bool reported = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = read(inotify_, buffer, sizeof buffer);
        if (length > 0) {
            reported = true;
            continue;
        }
        if (length < 0 && errno == EINTR)
            continue;
        return reported;  // EAGAIN: the queue is empty
    }
}

}  // namespace demo
