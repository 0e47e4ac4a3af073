#include "record/LogFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <memory>

#include "record/LogJournal.h"

namespace corvel {

namespace {

// Appends a file's rows to the live log.
class LogSink final : public RowSink {
public:
    explicit LogSink(ReadingLog& log) : log_(log) {}
    void Row(const LoadedRow& row) override {
        log_.AppendRow(row.no, row.texts[0], row.texts[1], row.texts[2], row.texts[3], row.texts[4]);
    }

private:
    ReadingLog& log_;
};

class BusyFlag {
public:
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& flag_;
};

int Permille(std::int64_t done, std::int64_t total) {
    return total <= 0 ? 0 : static_cast<int>(std::min<std::int64_t>(1000, done * 1000 / total));
}

}  // namespace

std::string LogFiles::SavedMessage(const std::string& fileName) {
    return "Save table to specified file: " + fileName + " Scuss!";
}

std::string LogFiles::NotSavedMessage(const std::string& fileName) {
    return "Could not save table to specified file: " + fileName;
}

std::string LogFiles::UnsavedWrittenOutMessage(int rows, const std::string& path) {
    return "The " + std::to_string(rows) + " rows logged since the last save were written to " + path + ".";
}

std::string LogFiles::UnsavedNotWrittenOutMessage(const std::string& why) {
    return "The rows logged since the last save could not be written out (" + why +
           "); the file was not opened, and the rows stay in the log.";
}

LogFiles::LogFiles(ReadingLog& log, UserPrompts& prompts) : log_(log), prompts_(prompts), unsaved_(log) {
    pump = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
}

void LogFiles::saveasClick() {
    if (busy_) return;
    // A fresh dialog each time: its file name starts empty.
    const std::string fileName = prompts_.SaveFileNameBy("Save As", std::string(kSaveFilter),
                                                         std::string(kDefaultSuffix), kOwnSuffixFrom);
    if (fileName.empty()) return;
    Save(fileName, SaveFormatOf(fileName));
    if (repaint) repaint();
}

void LogFiles::SpeedButton2Click() {
    if (busy_) return;
    const std::string fileName = prompts_.OpenFileNameAt("Open", std::string(kOpenFilter), openFileName_);
    if (fileName.empty()) return;
    openFileName_ = fileName;
    LoadTableFile(fileName, false);
    if (repaint) repaint();
}

bool LogFiles::SaveTableText(const std::string& fileName) {
    return Save(fileName, LogFileFormat::TextTable);
}

bool LogFiles::SaveXmlPacket(const std::string& fileName) {
    return Save(fileName, LogFileFormat::XmlPacket);
}

bool LogFiles::SaveWorkbook(const std::string& fileName) {
    return Save(fileName, LogFileFormat::Workbook);
}

bool LogFiles::SaveCsv(const std::string& fileName) {
    return Save(fileName, LogFileFormat::Csv);
}

bool LogFiles::Save(const std::string& fileName, LogFileFormat format) {
    if (busy_) return false;
    bool saved = false;
    {
        const BusyFlag busy(busy_);
        const int generation = log_.Generation();
        LogFileWriter writer(log_.Rows(), QString::fromStdString(fileName), format,
                             limits ? limits() : SummaryLimits{});
        RunInSlices(
            "Saving " + fileName,
            [&] {
                // The rows being written went away (the log was emptied
                // or replaced meanwhile): the old file stays.
                if (log_.Generation() != generation) {
                    writer.Cancel();
                    return true;
                }
                return writer.Step(slicing_.rows);
            },
            [&] { return Permille(writer.Written(), writer.Total()); });
        saved = log_.Generation() == generation && writer.Commit();
        if (saved) unsaved_.Saved(writer.Total());
    }
    if (saved) {
        if (afterSave) afterSave();
        prompts_.OwnerlessMessage(UserPrompts::Kind::Information, SavedMessage(fileName));
    } else {
        prompts_.OwnerlessMessage(UserPrompts::Kind::Error, NotSavedMessage(fileName));
    }
    return saved;
}

bool LogFiles::LoadTableFile(const std::string& fileName, bool emptyFirst) {
    if (busy_) return false;
    bool loaded = false;
    std::string afterLoad;  // the message that follows a load
    {
        const BusyFlag busy(busy_);
        if (emptyFirst) log_.Empty();
        const QString name = QString::fromStdString(fileName);
        if (FormatOf(fileName) == LogFileFormat::XmlPacket) {
            // The packet is read whole before it replaces the rows, so a
            // packet that fails leaves the log as it was.
            ReadingLogStore rows(log_.Rows().TimeSeparator());
            StoreSink sink(rows);
            LogFileReader reader(name, LogFileFormat::XmlPacket, sink);
            const int generation = log_.Generation();
            const int before = log_.RowCount();
            RunInSlices(
                "Loading " + fileName, [&] { return reader.Step(slicing_.bytes); },
                [&] { return Permille(reader.Read(), reader.Size()); });
            loaded = reader.Ok();
            // The rows the packet takes the place of; those logged while it
            // was read stay.
            const int replaced = log_.Generation() == generation ? before : log_.RowCount();
            const int lost = loaded ? unsaved_.CountBefore(replaced) : 0;
            if (lost > 0 && !recoveredFolder.empty()) {
                std::string written, why;
                std::error_code ec;
                std::filesystem::create_directories(recoveredFolder, ec);
                if (LogJournal::WriteOutRows(unsaved_.RowsBefore(replaced), recoveredFolder, &written,
                                             &why)) {
                    afterLoad = UnsavedWrittenOutMessage(lost, written);
                } else {
                    // Nothing is lost: the packet is not opened.
                    prompts_.OwnerlessMessage(UserPrompts::Kind::Error, UnsavedNotWrittenOutMessage(why));
                    return false;
                }
            }
            if (loaded) {
                // Readings logged while the packet was read come after its
                // rows, as if it had been read in an instant.
                const int packetRows = rows.RowCount();
                if (log_.Generation() == generation) {
                    const ReadingLogStore& live = log_.Rows();
                    for (int row = before; row < live.RowCount(); ++row)
                        rows.Append(
                            live.RecordNo(row), live.Text(row, ReadingLogStore::Time),
                            live.Text(row, ReadingLogStore::Value), live.Text(row, ReadingLogStore::Unit),
                            live.Text(row, ReadingLogStore::Value2), live.Text(row, ReadingLogStore::Unit2));
                }
                log_.ReplaceRows(std::move(rows));
                unsaved_.NotSaved(packetRows, log_.RowCount());
            }
        } else {
            LogSink sink(log_);
            LogFileReader reader(name, LogFileFormat::TextTable, sink);
            // Readings logged between the slices come after the file's
            // rows, as they do after a packet's.
            const ReadingLog::LoggedRowsHeld held(log_);
            RunInSlices(
                "Loading " + fileName,
                [&] {
                    // The grid hears of a slice's rows at once.
                    const ReadingLog::AppendBatch batch(log_);
                    return reader.Step(slicing_.bytes);
                },
                [&] { return Permille(reader.Read(), reader.Size()); });
            loaded = reader.Ok();
        }
    }
    if (!loaded) prompts_.OwnerlessMessage(UserPrompts::Kind::Error, std::string(kLoadFailed));
    if (!afterLoad.empty()) prompts_.OwnerlessMessage(UserPrompts::Kind::Information, afterLoad);
    return loaded;
}

void LogFiles::RunInSlices(const std::string& text, const std::function<bool()>& step,
                           const std::function<int()>& permille) {
    QElapsedTimer total;
    total.start();
    QElapsedTimer slice;
    slice.start();
    std::unique_ptr<UserPrompts::Progress> progress;
    while (!step()) {
        if (slice.elapsed() < slicing_.sliceMs) continue;
        if (!progress && total.elapsed() >= slicing_.progressAfterMs)
            progress = prompts_.ShowProgress(text, 1000);
        if (progress) progress->SetValue(permille());
        if (pump) pump();
        slice.restart();
    }
}

}  // namespace corvel
