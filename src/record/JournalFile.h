#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// One journal file on disk, held with an exclusive lock (flock) for as long
// as this object lives. The lock is what tells a running program's journal
// from one whose program has ended: the kernel lets go of it however the
// program ends, a kill included.
class JournalFile {
public:
    static constexpr std::string_view kSuffix = ".journal";

    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // A new journal in `folder` (made if missing) holding `header`, locked
    // before its name appears, so no other program ever sees it unlocked.
    static std::unique_ptr<JournalFile> Create(const std::string& folder, std::string_view header,
                                               std::string* error);
    // The journals in `folder` whose programs have ended, newest first, each
    // locked by the object that stands for it.
    static std::vector<std::unique_ptr<JournalFile>> FindEnded(const std::string& folder);

    const std::string& Path() const { return path_; }
    std::uint64_t Length() const { return length_; }

    // Writes the bytes at the end. On a failure the file is cut back to
    // what it was, so a later try starts after the last whole batch.
    bool Append(std::string_view bytes, std::string* error) { return Append({bytes}, error); }
    // The parts one after the other, all of them or none.
    bool Append(std::initializer_list<std::string_view> parts, std::string* error);
    bool Sync(std::string* error);
    // Cuts the file to `length` bytes (a damaged tail).
    bool TruncateTo(std::uint64_t length, std::string* error);
    // Unlinks the file and lets go of it.
    bool Remove(std::string* error = nullptr);

private:
    JournalFile(int fd, std::string path, std::uint64_t length)
        : fd_(fd), path_(std::move(path)), length_(length) {}
    int fd_ = -1;
    std::string path_;
    std::uint64_t length_ = 0;
};

// Syncs a file that was written by other means (an ofstream) to the disk.
bool SyncFileToDisk(const std::string& path, std::string* error);

}  // namespace corvel
