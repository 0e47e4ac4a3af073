#include "record/JournalFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace corvel {

namespace {

namespace fs = std::filesystem;

std::string Why(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

void SyncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

bool EndsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

}  // namespace

JournalFile::~JournalFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<JournalFile> JournalFile::Create(const std::string& folder, std::string_view header,
                                                 std::string* error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        if (error) *error = folder + ": " + ec.message();
        return nullptr;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    // Process, time and a count: two journals made in the same millisecond
    // by one process (tests, a window made twice) get names of their own.
    static std::atomic<unsigned> made{0};
    const std::string name = folder + "/run-" + std::to_string(::getpid()) + "-" + std::to_string(ms) + "-" +
                             std::to_string(made++);
    const std::string path = name + std::string(kSuffix);
    const std::string making = path + ".new";
    // Close-on-exec: a program this one starts (the simulated meter) must
    // not inherit the lock and keep it after this one has died.
    const int fd = ::open(making.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) *error = Why(making);
        return nullptr;
    }
    std::unique_ptr<JournalFile> file(new JournalFile(fd, making, 0));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (error) *error = Why(making);
        ::unlink(making.c_str());
        return nullptr;
    }
    if (!file->Append(header, error) || !file->Sync(error)) {
        ::unlink(making.c_str());
        return nullptr;
    }
    // Never over another journal: its rows would be gone.
    int renamed = ::renameat2(AT_FDCWD, making.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
    if (renamed != 0 && errno == EINVAL) renamed = ::rename(making.c_str(), path.c_str());
    if (renamed != 0) {
        if (error) *error = Why(path);
        ::unlink(making.c_str());
        return nullptr;
    }
    file->path_ = path;
    SyncFolder(folder);
    return file;
}

std::vector<std::unique_ptr<JournalFile>> JournalFile::FindEnded(const std::string& folder) {
    std::vector<std::pair<fs::file_time_type, std::unique_ptr<JournalFile>>> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string path = it->path().string();
        const bool journal = EndsWith(path, kSuffix);
        const bool leftover = EndsWith(path, std::string(kSuffix) + ".new");
        if (!journal && !leftover) continue;
        std::error_code ignored;
        if (!it->is_regular_file(ignored)) continue;
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);  // its program is running
            continue;
        }
        struct stat st {};
        ::fstat(fd, &st);
        if (leftover) {
            // A program that died while making its journal had logged
            // nothing yet; one that is making it right now holds the lock
            // a moment after creating it, so only old ones go.
            if (std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(st.st_mtime) >
                std::chrono::minutes(1))
                ::unlink(path.c_str());
            ::close(fd);
            continue;
        }
        auto file =
            std::unique_ptr<JournalFile>(new JournalFile(fd, path, static_cast<std::uint64_t>(st.st_size)));
        found.emplace_back(it->last_write_time(ignored), std::move(file));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::unique_ptr<JournalFile>> files;
    for (auto& f : found) files.push_back(std::move(f.second));
    return files;
}

bool JournalFile::Append(std::initializer_list<std::string_view> parts, std::string* error) {
    std::uint64_t at = length_;
    for (const std::string_view bytes : parts) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) errno = ENOSPC;
            if (error) *error = Why(path_);
            const int saved = errno;
            // A part of a batch would hide every batch written after it.
            [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(length_));
            errno = saved;
            return false;
        }
        at += bytes.size();
    }
    length_ = at;
    return true;
}

bool JournalFile::Sync(std::string* error) {
    if (::fdatasync(fd_) == 0) return true;
    if (error) *error = Why(path_);
    return false;
}

bool JournalFile::TruncateTo(std::uint64_t length, std::string* error) {
    if (length == length_) return true;
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        if (error) *error = Why(path_);
        return false;
    }
    length_ = length;
    return true;
}

bool JournalFile::Remove(std::string* error) {
    bool ok = true;
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
        if (error) *error = Why(path_);
        ok = false;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return ok;
}

bool SyncFileToDisk(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (error) *error = Why(path);
        if (fd >= 0) ::close(fd);
        return false;
    }
    ::close(fd);
    const auto slash = path.rfind('/');
    if (slash != std::string::npos) SyncFolder(path.substr(0, slash));
    return true;
}

}  // namespace corvel
