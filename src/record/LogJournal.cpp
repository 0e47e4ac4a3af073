#include "record/LogJournal.h"

#include <QDateTime>
#include <filesystem>

#include "record/TextTable.h"

namespace corvel {

LogJournal::LogJournal(ReadingLog& log, UserPrompts& prompts, std::string folder, QObject* parent)
    : QObject(parent), log_(log), prompts_(prompts), folder_(std::move(folder)) {
    writeTimer_.setSingleShot(true);
    syncTimer_.setSingleShot(true);
    retryTimer_.setSingleShot(true);
    connect(&writeTimer_, &QTimer::timeout, this, [this] {
        writeSoon_ = false;
        Write();
    });
    connect(&syncTimer_, &QTimer::timeout, this, [this] { Sync(); });
    connect(&retryTimer_, &QTimer::timeout, this, [this] { Write(); });
    SetTiming(timing_);
    pending_.reserve(journal::kMaxBatchPayload);
    waiting_.reserve(kMaxWaiting);
}

LogJournal::~LogJournal() {
    if (started_) log_.RemoveObserver(this);
    // Any end but a normal one keeps the journal: what is logged goes to the
    // disk now, so a logout or a shutdown loses nothing.
    if (started_ && !finished_) {
        warned_ = true;  // no message box while the program goes away
        Write();
        if (file_ && !failed_) Sync();
    }
}

void LogJournal::SetTiming(Timing timing) {
    timing_ = timing;
    writeTimer_.setInterval(timing_.writeMs);
    retryTimer_.setInterval(timing_.retryMs);
}

std::string LogJournal::RestoreQuestion(int rows) {
    return "The program ended unexpectedly last time. Restore the " + std::to_string(rows) +
           " rows it had logged?";
}

std::string LogJournal::NotProtectedMessage(const std::string& why) {
    return "The reading log is not protected against a crash: " + why +
           ". Logging goes on in memory; the program tries again in a moment.";
}

std::string LogJournal::WrittenOutMessage(const std::string& path) {
    return "The rows logged last time were written to " + path + ".";
}

std::string LogJournal::NotWrittenOutMessage(const std::string& journal, const std::string& why) {
    return "The rows logged last time could not be written out (" + why + "); they stay in " + journal +
           " and are offered again at the next start.";
}

bool LogJournal::WriteOutRows(const ReadingLogStore& rows, const std::string& folder, std::string* path,
                              std::string* error) {
    const std::string stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")).toStdString();
    std::string name = folder + "/recovered-" + stamp + ".xls";
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(name, ec); ++n)
        name = folder + "/recovered-" + stamp + "-" + std::to_string(n) + ".xls";
    if (!TextTable::Save(rows, name)) {
        if (error) *error = "cannot write " + name;
        return false;
    }
    if (!SyncFileToDisk(name, error)) return false;
    if (path) *path = name;
    return true;
}

// ---- start-up

bool LogJournal::OfferEnded(JournalFile& file, UserPrompts& asker, const std::function<void(int)>& progress,
                            const std::function<void()>& closeProgress, JournalReadResult& read) {
    RestoredLog state(log_.Rows().TimeSeparator());
    const auto reading = [&](std::uint64_t done, std::uint64_t total) {
        if (progress && total > 0) progress(static_cast<int>(done * 90 / total));
    };
    // Not a journal this program reads (another version): left alone.
    if (!ReadJournalInto(file.Path(), state, nullptr, &read, reading)) return false;
    const int rows = state.rows.RowCount();
    if (rows == 0) {
        file.Remove();
        return false;
    }
    // The question runs its own event loop for as long as it stays open: a
    // progress box still pending would come up over it and, being modal to
    // the window as well, take its clicks and keys.
    if (closeProgress) closeProgress();
    const bool yes =
        asker.Ask(UserPrompts::Kind::Information, RestoreQuestion(rows)) == UserPrompts::Answer::Yes;
    if (progress) progress(90);
    if (yes) {
        log_.Restore(std::move(state));
        if (progress) progress(100);
        return true;
    }
    std::string written, why;
    const bool writtenOut = WriteOutRows(state.rows, folder_, &written, &why);
    if (progress) progress(100);
    // Gone before the message, for the same reason as before the question.
    if (closeProgress) closeProgress();
    if (writtenOut) {
        file.Remove();
        asker.Message(UserPrompts::Kind::Information, WrittenOutMessage(written));
    } else {
        asker.Message(UserPrompts::Kind::Error, NotWrittenOutMessage(file.Path(), why));
    }
    return false;
}

void LogJournal::Start(UserPrompts& asker, const std::function<void(int)>& progress,
                       const std::function<void()>& closeProgress) {
    if (started_) return;
    bool restored = false;
    for (auto& ended : JournalFile::FindEnded(folder_)) {
        // One log restored a run; the other journals wait for the next start.
        if (restored) break;
        JournalReadResult read;
        if (!OfferEnded(*ended, asker, progress, closeProgress, read)) continue;
        restored = true;
        // Go on writing where the restored journal ends, after its last
        // sound batch, with the codec state its reader ended in. Should that
        // fail, the old journal stays as it is, holding the restored rows,
        // and this run's changes go to a new one.
        if (ended->TruncateTo(read.goodLength, nullptr)) {
            encoder_ = journal::Encoder(read.state);
            file_ = std::move(ended);
        }
    }
    started_ = true;
    journaledRows_ = log_.RowCount();
    journaledLimit_ = static_cast<int>(log_.CheckedLimitEntry());
    log_.AddObserver(this);
    if (!file_) {
        std::string why;
        file_ = JournalFile::Create(folder_, journal::Header(), &why);
        if (!file_) Fail(why);
    }
}

void LogJournal::Finish() {
    if (finished_) return;
    finished_ = true;
    writeTimer_.stop();
    writeSoon_ = false;
    syncTimer_.stop();
    retryTimer_.stop();
    if (started_) log_.RemoveObserver(this);
    started_ = false;
    pending_.clear();
    unsent_.clear();
    waiting_.clear();
    if (file_) file_->Remove();
    file_.reset();
}

// ---- what the log tells

const journal::Row& LogJournal::RowAt(int row) {
    // One row object, filled field by field: clearing a fresh one for every
    // logged reading cost more than the rest of this function.
    const ReadingLogStore& rows = log_.Rows();
    journal::Row& r = next_;
    r.no = rows.RecordNo(row);
    if (const auto second = rows.SecondOfDay(row)) {
        r.secondOfDay = *second;
        r.timeText = {};
    } else {
        timeText_.clear();
        rows.AppendText(row, ReadingLogStore::Time, timeText_);
        r.secondOfDay = -1;
        r.timeText = timeText_;
    }
    // Rows are written one after the other: which texts repeat the row
    // written before is known from the store without reading them.
    r.repeated = encodedRow_ >= 0 && encodedRow_ == row - 1 ? rows.SameTexts(row, row - 1) : 0;
    encodedRow_ = row;
    if (!(r.repeated & 1)) r.value = rows.TextView(row, ReadingLogStore::Value);
    if (!(r.repeated & 2)) r.unit = rows.TextView(row, ReadingLogStore::Unit);
    if (!(r.repeated & 4)) r.value2 = rows.TextView(row, ReadingLogStore::Value2);
    if (!(r.repeated & 8)) r.unit2 = rows.TextView(row, ReadingLogStore::Unit2);
    return r;
}

void LogJournal::Encode() {
    // Store rows not yet in the journal are the logged rows waiting, in
    // order, and rows a file load appended.
    std::size_t next = 0;
    for (const int end = log_.RowCount(); journaledRows_ < end; ++journaledRows_) {
        if (next < waiting_.size() && waiting_[next].row == journaledRows_)
            encoder_.Logged(RowAt(journaledRows_), waiting_[next++].value, pending_);
        else
            encoder_.Loaded(RowAt(journaledRows_), pending_);
        // A batch stays within what a reader takes; a row is far smaller
        // than the margin.
        if (pending_.size() >= journal::kMaxBatchPayload - 512) SealBatch();
    }
    waiting_.clear();
}

void LogJournal::RowLogged(int row, double measuredValue) {
    waiting_.push_back({row, measuredValue});
    if (waiting_.size() >= kMaxWaiting) Encode();
    Changed();
}

void LogJournal::RowsAppended() {
    if (journaledRows_ < log_.RowCount()) Changed();
}

void LogJournal::AboutToBeEmptied() {
    Encode();
}

void LogJournal::Emptied() {
    encoder_.Emptied(pending_);
    encodedRow_ = -1;
    journaledRows_ = 0;
    Changed();
}

void LogJournal::NewLogStarted() {
    Encode();
    encoder_.NewLog(pending_);
    encodedRow_ = -1;
    Changed();
}

void LogJournal::ControlsChanged() {
    const int entry = static_cast<int>(log_.CheckedLimitEntry());
    if (entry == journaledLimit_) return;
    journaledLimit_ = entry;
    Encode();
    encoder_.LimitChosen(entry, pending_);
    Changed();
}

// ---- writing

void LogJournal::Changed() {
    if (!failed_ && !writeSoon_) {
        writeSoon_ = true;
        writeTimer_.start();
    }
}

void LogJournal::SealBatch() {
    if (pending_.empty()) return;
    // A full batch goes to the file at once, without a copy; the copy is
    // kept only while the file cannot take it.
    if (unsent_.empty() && file_ && !failed_) {
        if (file_->Append({journal::BatchHeader(pending_), pending_}, &lastError_)) {
            pending_.clear();
            SyncSoon();
            return;
        }
        // Said from the retry, not from inside the logging of a row.
        failed_ = true;
        retryTimer_.start(0);
    }
    journal::AppendBatch(pending_, unsent_);
    pending_.clear();
}

void LogJournal::WriteNow() {
    writeTimer_.stop();
    writeSoon_ = false;
    Write();
}

void LogJournal::Write() {
    if (finished_) return;
    Encode();
    SealBatch();
    if (unsent_.empty() && !failed_) return;
    std::string why;
    if (!file_) {
        file_ = JournalFile::Create(folder_, journal::Header(), &why);
        if (!file_) {
            Fail(why);
            return;
        }
    }
    if (!unsent_.empty()) {
        if (!file_->Append(unsent_, &why)) {
            Fail(why);
            return;
        }
        unsent_.clear();
    }
    if (failed_) {
        // Back from a failure: on the disk before it counts as protected.
        sinceSync_.start();
        if (!file_->Sync(&why)) {
            Fail(why);
            return;
        }
        failed_ = false;
        warned_ = false;
        return;
    }
    SyncSoon();
}

void LogJournal::SyncSoon() {
    if (syncTimer_.isActive()) return;
    const qint64 since = sinceSync_.isValid() ? sinceSync_.elapsed() : timing_.syncMs;
    if (since >= timing_.syncMs)
        Sync();
    else
        syncTimer_.start(static_cast<int>(timing_.syncMs - since));
}

void LogJournal::Sync() {
    if (!file_) return;
    sinceSync_.start();
    std::string why;
    if (!file_->Sync(&why)) Fail(why);
}

void LogJournal::Fail(const std::string& why) {
    failed_ = true;
    retryTimer_.start();
    if (warned_) return;
    // Said once; the message box runs its own loop, in which the retry may
    // already succeed.
    warned_ = true;
    prompts_.Message(UserPrompts::Kind::Warning, NotProtectedMessage(why));
}

}  // namespace corvel
