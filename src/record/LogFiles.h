#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "record/LogFileJobs.h"
#include "record/ReadingLog.h"
#include "record/UnsavedRows.h"
#include "record/UserPrompts.h"

namespace corvel {

// The Record menu's Save and the log toolbar's open and save buttons: the
// log to a data file and back, with the dialogs and messages they show.
//
// A log can hold ten million rows. Saving or reading that many takes
// seconds, so the work goes in slices on the main thread, and between them
// the event loop runs everything but user input: the meter's frames go on
// being decoded, mirrored and logged, and a progress dialog shows how far
// the work has come. A save writes exactly the rows the log held when it
// began; rows logged meanwhile stay in the log.
class LogFiles {
public:
    // The save and open dialogs' filters, in the toolkit's notation: the
    // text table's two first, then the formats for other programs (saved
    // only) and the packet, which a user once had to type by name.
    static constexpr std::string_view kFilter = "Excel File(*.xls);;Txt File(*.txt)";
    static constexpr std::string_view kSaveFilter =
        "Excel File(*.xls);;Txt File(*.txt);;Excel workbook (*.xlsx);;CSV (*.csv);;XML data packet (*.xml)";
    static constexpr std::string_view kOpenFilter =
        "Excel File(*.xls);;Txt File(*.txt);;XML data packet (*.xml)";
    static constexpr std::string_view kDefaultSuffix = "xls";
    // The save filters from this one on give a name typed without an
    // extension their own: "CSV" chosen makes "log" "log.csv".
    static constexpr int kOwnSuffixFrom = 2;
    static constexpr std::string_view kLoadFailed = "Failed to Load File!";
    static std::string SavedMessage(const std::string& fileName);
    static std::string NotSavedMessage(const std::string& fileName);
    // After a packet took the place of rows that no save had written.
    static std::string UnsavedWrittenOutMessage(int rows, const std::string& path);
    static std::string UnsavedNotWrittenOutMessage(const std::string& why);

    LogFiles(ReadingLog& log, UserPrompts& prompts);

    // Save dialog, then the file by its extension.
    void saveasClick();
    // Open dialog, then LoadTableFile.
    void SpeedButton2Click();
    // The log as a text table, with the message of how it went; true when
    // saved.
    bool SaveTableText(const std::string& fileName);
    // The log as an XML data packet, likewise.
    bool SaveXmlPacket(const std::string& fileName);
    // The log as an Excel workbook or as CSV, likewise.
    bool SaveWorkbook(const std::string& fileName);
    bool SaveCsv(const std::string& fileName);
    // Reads a data file into the log: a text table appends its rows, an
    // ".xml" packet takes the place of the log's rows. "Failed to Load
    // File!" when it fails; the rows appended before stay. True when read.
    // Logged rows that a packet would take away unsaved are written first
    // as a text table in `recoveredFolder`, and a message says where.
    bool LoadTableFile(const std::string& fileName, bool emptyFirst);

    // Where rows that would be lost unsaved are written (the folder of the
    // crash journal's recovered logs); without one they are not written.
    std::string recoveredFolder;
    // The rows that exist only in the log.
    UnsavedRows& Unsaved() { return unsaved_; }

    // The file name the open dialog starts on next time.
    const std::string& OpenDialog1FileName() const { return openFileName_; }

    // The limits and decimal separator of the moment, for a workbook's
    // numbers, limit lines and summary. Without it: a point, no limits.
    std::function<SummaryLimits()> limits;
    // After a save: the grid makes the log's last row current.
    std::function<void()> afterSave;
    // After a command: the whole window is repainted.
    std::function<void()> repaint;
    // Runs the event loop between slices; by default it processes pending
    // events except user input.
    std::function<void()> pump;

    // How the work is cut: rows or bytes taken before the clock is looked
    // at, the time a slice may take, and how long the work runs before the
    // progress dialog shows.
    struct Slicing {
        int rows = 16384;
        std::int64_t bytes = 256 * 1024;
        int sliceMs = 30;
        int progressAfterMs = 300;
    };
    void SetSlicing(const Slicing& slicing) { slicing_ = slicing; }

    // True while a save or load runs (a second one is not started then).
    bool Busy() const { return busy_; }

private:
    bool Save(const std::string& fileName, LogFileFormat format);
    // Runs `step` until it returns true, letting the event loop run and
    // showing progress when it takes long.
    void RunInSlices(const std::string& text, const std::function<bool()>& step,
                     const std::function<int()>& permille);

    ReadingLog& log_;
    UserPrompts& prompts_;
    UnsavedRows unsaved_;
    std::string openFileName_;
    Slicing slicing_;
    bool busy_ = false;
};

}  // namespace corvel
