#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "record/JournalFile.h"
#include "record/JournalFormat.h"
#include "record/ReadingLog.h"
#include "record/UserPrompts.h"

namespace corvel {

// Keeps the reading log safe from a crash: every change to the log goes to a
// journal file in the data folder, a batch at a time, and reaches the disk
// about once a second while rows arrive. A normal end removes the journal;
// after any other end, the next start offers the rows back.
//
// It runs on the event loop: a row costs an append to a buffer, a timer
// hands the buffer to the system a moment later, another syncs it. An idle
// log starts no timer and writes nothing.
class LogJournal final : public QObject, private ReadingLog::Observer {
public:
    struct Timing {
        int writeMs = 200;   // a logged row to its bytes in the file
        int syncMs = 1000;   // the shortest time between two disk syncs
        int retryMs = 5000;  // a failed write or open is tried again
    };

    LogJournal(ReadingLog& log, UserPrompts& prompts, std::string folder, QObject* parent = nullptr);
    ~LogJournal() override;

    // Start-up, before the first frame: the journals of runs that are no
    // longer alive are offered back through `asker` ("Yes" restores the
    // newest, "No" writes its rows as a text table beside it), then this
    // run's journal is opened. `progress` hears 0 to 90 while a journal is
    // read and 90 to 100 while its rows are restored or written out;
    // `closeProgress` runs before each question and takes whatever shows
    // that progress away, as nothing may cover the question or answer in
    // its place.
    void Start(UserPrompts& asker, const std::function<void(int percent)>& progress = {},
               const std::function<void()>& closeProgress = {});
    void Start() { Start(prompts_); }
    // A normal end: the journal goes, as nothing is kept.
    void Finish();

    void SetTiming(Timing timing);
    // Hands everything logged to the system now (tests, benchmarks).
    void WriteNow();
    // The journal is open and holds everything handed to it.
    bool Protected() const { return file_ && !failed_; }
    std::string Path() const { return file_ ? file_->Path() : std::string(); }
    const std::string& Folder() const { return folder_; }

    static std::string RestoreQuestion(int rows);
    static std::string NotProtectedMessage(const std::string& why);
    static std::string WrittenOutMessage(const std::string& path);
    static std::string NotWrittenOutMessage(const std::string& journal, const std::string& why);
    // Writes rows as a text table in `folder` under a new name, synced to
    // the disk; the name is left in `path`.
    static bool WriteOutRows(const ReadingLogStore& rows, const std::string& folder, std::string* path,
                             std::string* error);

private:
    // ---- ReadingLog::Observer
    void RowLogged(int row, double measuredValue) override;
    void RowsAppended() override;
    void AboutToBeEmptied() override;
    void Emptied() override;
    void NewLogStarted() override;
    void ControlsChanged() override;

    // The row as the encoder takes it next; valid until the next call.
    const journal::Row& RowAt(int row);
    // Puts every store row not yet journaled into the batch being gathered.
    void Encode();
    void Changed();
    void SealBatch();
    void Write();
    void SyncSoon();
    void Sync();
    void Fail(const std::string& why);
    // Reads an ended run's journal and asks about its rows; true when they
    // were restored, with how the journal was read in `read`.
    bool OfferEnded(JournalFile& file, UserPrompts& asker, const std::function<void(int)>& progress,
                    const std::function<void()>& closeProgress, JournalReadResult& read);

    ReadingLog& log_;
    UserPrompts& prompts_;
    std::string folder_;
    Timing timing_;
    std::unique_ptr<JournalFile> file_;
    journal::Encoder encoder_;
    // Logged rows wait as their place in the store and their chart value
    // until the journal writes, or until there are kMaxWaiting of them:
    // encoding rows many at a time, after the log is done with them, costs
    // a fraction of encoding each as it is logged. Whatever would take a
    // row away from the store encodes the waiting rows first.
    struct Waiting {
        int row;
        double value;
    };
    static constexpr std::size_t kMaxWaiting = 4096;
    std::vector<Waiting> waiting_;
    std::string pending_;  // entries of the batch being gathered
    std::string unsent_;   // whole batches not yet in the file
    int journaledRows_ = 0;
    // The store row whose texts the encoder holds as the row before; -1
    // when that is not a row of the store as it is now.
    int encodedRow_ = -1;
    journal::Row next_;
    int journaledLimit_ = -1;
    bool started_ = false;
    bool finished_ = false;
    bool failed_ = false;
    // The write timer runs; kept here, as asking the timer costs a call for
    // every logged row.
    bool writeSoon_ = false;
    bool warned_ = false;
    std::string timeText_;
    std::string lastError_;
    QTimer writeTimer_;
    QTimer syncTimer_;
    QTimer retryTimer_;
    QElapsedTimer sinceSync_;
};

}  // namespace corvel
