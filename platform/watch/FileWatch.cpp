// Changed files of a folder: inotify, or a poll of sizes and times.
#include "platform/watch/FileWatch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifdef __linux__
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kvx::platform {

namespace fs = std::filesystem;

namespace {

std::string joinName(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

void sortUnique(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
}

}  // namespace

std::unique_ptr<FileWatch> FileWatch::open(const std::string& root, Method preferred,
                                           std::chrono::milliseconds pollInterval) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        return nullptr;
    }
    std::unique_ptr<FileWatch> watch(new FileWatch());
    watch->root_ = root;
    watch->interval_ = pollInterval;
    if (preferred == Method::Notify && watch->startNotify()) {
        watch->method_ = Method::Notify;
        return watch;
    }
    watch->method_ = Method::Poll;
    watch->stamps_ = watch->scan();
    watch->lastPoll_ = std::chrono::steady_clock::now();
    return watch;
}

FileWatch::~FileWatch() {
#ifdef __linux__
    if (fd_ >= 0) {
        ::close(fd_);
    }
#endif
}

std::vector<std::string> FileWatch::changes() {
    std::vector<std::string> out;
    if (method_ == Method::Notify) {
        readNotifications(out);
    } else {
        poll(out);
    }
    sortUnique(out);
    return out;
}

#ifdef __linux__

namespace {

constexpr uint32_t kMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE;

}  // namespace

bool FileWatch::startNotify() {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    watchTree("");
    if (folders_.empty()) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

// Watches the folder below root and, recursively, the folders inside it.
void FileWatch::watchTree(const std::string& relative) {
    const fs::path path = relative.empty() ? fs::path(root_) : fs::path(root_) / relative;
    const int wd = inotify_add_watch(fd_, path.c_str(), kMask);
    if (wd < 0) {
        return;
    }
    folders_[wd] = relative;
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec)) {
            watchTree(joinName(relative, it->path().filename().string()));
        }
    }
}

void FileWatch::readNotifications(std::vector<std::string>& out) {
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            return;  // EAGAIN: nothing more for now
        }
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if ((e->mask & IN_IGNORED) != 0) {
                folders_.erase(e->wd);
                continue;
            }
            const auto folder = folders_.find(e->wd);
            if (folder == folders_.end() || e->len == 0) {
                continue;
            }
            const std::string name = joinName(folder->second, e->name);
            const bool isFolder = (e->mask & IN_ISDIR) != 0;
            if (isFolder && (e->mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
                watchTree(name);  // files saved into it from now on are seen
                out.push_back(name);
            } else if ((e->mask & IN_CREATE) == 0) {
                // A file's creation is followed by its close once written.
                out.push_back(name);
            }
        }
    }
}

#else

bool FileWatch::startNotify() {
    return false;
}
void FileWatch::watchTree(const std::string&) {}
void FileWatch::readNotifications(std::vector<std::string>&) {}

#endif

std::map<std::string, FileWatch::Stamp> FileWatch::scan() const {
    std::map<std::string, Stamp> stamps;
    std::error_code ec;
    const fs::path root(root_);
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError)) {
            continue;
        }
        Stamp s;
        s.size = it->file_size(fileError);
        s.time = static_cast<int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          it->last_write_time(fileError).time_since_epoch())
                                          .count());
        stamps[it->path().lexically_relative(root).generic_string()] = s;
    }
    return stamps;
}

void FileWatch::poll(std::vector<std::string>& out) {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ < interval_) {
        return;
    }
    lastPoll_ = now;
    std::map<std::string, Stamp> fresh = scan();
    for (const auto& [name, stamp] : fresh) {
        const auto old = stamps_.find(name);
        if (old == stamps_.end() || old->second.size != stamp.size ||
            old->second.time != stamp.time) {
            out.push_back(name);
        }
    }
    for (const auto& entry : stamps_) {
        if (fresh.count(entry.first) == 0) {
            out.push_back(entry.first);
        }
    }
    stamps_ = std::move(fresh);
}

}  // namespace kvx::platform
