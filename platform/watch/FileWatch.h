// FileWatch: which files under a show's folder changed since the last look.
//
// The player's --watch mode reloads what an author saved. On Linux the
// kernel reports changes (inotify) as they happen; elsewhere, or when inotify
// is not available, the folder is polled: every file's size and modification
// time, compared at most once per poll interval.
//
// A change is a file written and closed, moved in or out, or deleted, and a
// folder created (whose files are watched from then on). A file that is only
// opened for writing and still being written is not reported until it is
// closed, so a save is seen once it is complete. Names are relative to the
// watched folder, with '/' between parts.
//
// Threads: one thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kvx::platform {

class FileWatch {
  public:
    enum class Method { Notify, Poll };

    // Watches root and every folder below it. Prefers notification; falls
    // back to polling. Null when root is not a folder.
    static std::unique_ptr<FileWatch> open(
        const std::string& root, Method preferred = Method::Notify,
        std::chrono::milliseconds pollInterval = std::chrono::milliseconds(250));
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // The names changed since the previous call, each once, sorted.
    std::vector<std::string> changes();
    Method method() const { return method_; }

  private:
    struct Stamp {
        uintmax_t size = 0;
        int64_t time = 0;  // modification time, nanoseconds
    };
    FileWatch() = default;
    bool startNotify();
    void watchTree(const std::string& relative);
    void readNotifications(std::vector<std::string>& out);
    std::map<std::string, Stamp> scan() const;
    void poll(std::vector<std::string>& out);

    std::string root_;
    Method method_ = Method::Poll;
    int fd_ = -1;
    std::map<int, std::string> folders_;  // watch descriptor -> folder below root
    std::chrono::milliseconds interval_{250};
    std::chrono::steady_clock::time_point lastPoll_{};
    std::map<std::string, Stamp> stamps_;
};

}  // namespace kvx::platform
