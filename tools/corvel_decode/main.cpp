// corvel-decode: runs the program's frame path without a window, so that
// recorded meter streams can be replayed and their readings checked.

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "DecodeReport.h"
#include "Version.h"
#include "chart/HeadlessChart.h"
#include "decode/RangeClass.h"
#include "record/Clock.h"
#include "record/JournalReplay.h"
#include "record/LogFileJobs.h"
#include "record/ReadingLog.h"
#include "record/TextTable.h"
#include "shell/CoreStartUp.h"
#include "shell/HostInfo.h"
#include "shell/MeterCore.h"

namespace {

constexpr const char* kUsage =
    "usage: corvel-decode --handler oak|birch|pine|hid [--input FILE]\n"
    "                     [--decimal-separator SEP] [--high TEXT] [--low TEXT]\n"
    "                     [--range-class 4|6|34] [--log FILE] [--repeat on|off]\n"
    "                     [--sampling-interval N] [--record-limit N|limitless] [--quiet]\n"
    "       corvel-decode --journal FILE [--log FILE]\n"
    "       corvel-decode --help | --version\n"
    "Feeds a recorded meter stream through the frame handlers and decoders and\n"
    "prints one JSON object per decoder run. oak, birch and pine read raw bytes;\n"
    "hid reads one input report per line as hexadecimal byte pairs. With --log\n"
    "the readings go through the program's reading log, written to FILE when\n"
    "the input ends: an XML data packet when FILE ends in \".xml\", else a text\n"
    "table.\n"
    "With --journal the rows of the reading log's crash journal FILE are written\n"
    "to the --log FILE, by its name as above (as a text table to standard output\n"
    "without one).\n";

// Messages of the core go to stderr; nothing here asks questions.
class StderrPrompts : public corvel::UserPrompts {
public:
    void Message(Kind, const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    Answer Ask(Kind, const std::string&) override { return Answer::No; }
    std::string SaveFileName(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::string OpenFileName(const std::string&, const std::string&) override { return {}; }
};

class SilentBeeper : public corvel::Beeper {
public:
    void Beep() override {}
};

// The program's log and chart view control, the chart's data kept but not
// drawn.
class LogRecorder : public corvel::ReadingRecorder {
public:
    void Attach(corvel::ReadingLog* log) { log_ = log; }
    corvel::HeadlessChart& Chart() { return chart_; }
    void INDataToTable() override {
        if (log_) log_->INDataToTable();
    }
    void ShowSeries(int index) override { chart_.ShowSeries(index); }
    bool BtFillChecked() const override { return chart_.BtFillChecked(); }

private:
    corvel::HeadlessChart chart_;
    corvel::ReadingLog* log_ = nullptr;
};

struct Options {
    std::string handler;
    std::string input;
    std::string separator;
    bool separatorGiven = false;
    std::string high = "6000";
    std::string low = "-6000";
    std::string rangeClass;  // empty: the built-in profile's
    std::string log;
    bool repeat = true;
    std::string samplingInterval;  // empty: Sampling Interval unchecked
    std::string recordLimit;
    bool quiet = false;
    std::string journal;
};

std::optional<corvel::ReadingLog::LimitEntry> limitEntryFor(const std::string& text) {
    for (int i = 0; i < corvel::ReadingLog::kLimitEntryCount; ++i) {
        const auto entry = static_cast<corvel::ReadingLog::LimitEntry>(i);
        if (text == corvel::ReadingLog::LimitCaption(entry) ||
            text == std::to_string(corvel::ReadingLog::LimitOf(entry)))
            return entry;
    }
    return std::nullopt;
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "corvel-decode: %s needs a value\n", arg.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--version") {
            std::printf("corvel-decode %s\n", corvel::kVersion);
            std::exit(0);
        } else if (arg == "--handler") {
            if (!value(o.handler)) return false;
        } else if (arg == "--input") {
            if (!value(o.input)) return false;
        } else if (arg == "--decimal-separator") {
            if (!value(o.separator)) return false;
            o.separatorGiven = true;
        } else if (arg == "--high") {
            if (!value(o.high)) return false;
        } else if (arg == "--low") {
            if (!value(o.low)) return false;
        } else if (arg == "--range-class") {
            if (!value(o.rangeClass)) return false;
        } else if (arg == "--log") {
            if (!value(o.log)) return false;
        } else if (arg == "--repeat") {
            std::string v;
            if (!value(v)) return false;
            if (v != "on" && v != "off") {
                std::fprintf(stderr, "corvel-decode: --repeat must be on or off\n");
                return false;
            }
            o.repeat = v == "on";
        } else if (arg == "--sampling-interval") {
            if (!value(o.samplingInterval)) return false;
            const auto n = corvel::ReadInt32(o.samplingInterval);
            if (!n || *n < 0) {
                std::fprintf(stderr, "corvel-decode: --sampling-interval takes a number of seconds\n");
                return false;
            }
        } else if (arg == "--record-limit") {
            if (!value(o.recordLimit)) return false;
            if (!limitEntryFor(o.recordLimit)) {
                std::fprintf(stderr,
                             "corvel-decode: --record-limit is one of the Record menu's limits: 1000, 5000, "
                             "10000, 50000, 100000, limitless\n");
                return false;
            }
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--journal") {
            if (!value(o.journal)) return false;
        } else {
            std::fprintf(stderr, "corvel-decode: unknown option %s\n", arg.c_str());
            return false;
        }
    }
    if (!o.journal.empty()) return true;
    if (o.handler != "oak" && o.handler != "birch" && o.handler != "pine" && o.handler != "hid") {
        std::fprintf(stderr, "corvel-decode: --handler must be oak, birch, pine or hid\n");
        return false;
    }
    if (!o.rangeClass.empty() && o.rangeClass != "4" && o.rangeClass != "6" && o.rangeClass != "34") {
        std::fprintf(stderr, "corvel-decode: --range-class must be 4, 6 or 34\n");
        return false;
    }
    return true;
}

// The longest line a report can be written in: 65535 byte pairs, a blank
// after each, and a carriage return.
constexpr std::size_t kLongestReportLine = 0xFFFF * 3 + 1;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One report line: byte pairs separated by blanks. False when malformed.
bool parseReport(const std::string& line, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        if (i + 1 >= line.size()) return false;
        const int hi = hexValue(line[i]);
        const int lo = hexValue(line[i + 1]);
        if (hi < 0 || lo < 0) return false;
        if (i + 2 < line.size() && line[i + 2] != ' ' && line[i + 2] != '\t' && line[i + 2] != '\r')
            return false;
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        i += 2;
    }
    return bytes.size() <= 0xFFFF;
}

// ---- rescuing a crash journal by hand: its rows as a data file
int writeJournalRows(const Options& o) {
    corvel::RestoredLog log;
    std::string error;
    corvel::JournalReadResult read;
    if (!corvel::ReadJournalInto(o.journal, log, &error, &read)) {
        std::fprintf(stderr, "corvel-decode: %s\n", error.c_str());
        return 1;
    }
    if (read.damaged)
        std::fprintf(stderr, "corvel-decode: %s is damaged after byte %llu; the rows before it are kept\n",
                     o.journal.c_str(), static_cast<unsigned long long>(read.goodLength));
    if (o.log.empty()) {
        corvel::TextTable::Write(log.rows, std::cout);
        return std::cout.flush() ? 0 : 1;
    }
    if (!corvel::SaveLogFile(log.rows, o.log, corvel::SaveFormatOf(o.log))) {
        std::fprintf(stderr, "corvel-decode: cannot write the log to %s\n", o.log.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!o.journal.empty()) return writeJournalRows(o);
    std::FILE* in = stdin;
    if (!o.input.empty()) {
        in = std::fopen(o.input.c_str(), "rb");
        if (!in) {
            std::fprintf(stderr, "corvel-decode: cannot open %s: %s\n", o.input.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    StderrPrompts prompts;
    SilentBeeper beeper;
    LogRecorder recorder;
    corvel::MeterCore core(recorder, beeper, prompts);
    corvel::SystemClock clock;
    corvel::ReadingLog log(core.CurrentReading(), core.Mirror(), recorder.Chart(), prompts, clock);
    recorder.Attach(&log);
    log.SetRepeatSetChecked(o.repeat);
    if (!o.samplingInterval.empty()) {
        log.SetRecordSIChecked(true);
        log.RecordSITimeChange(o.samplingInterval);
    }
    if (!o.recordLimit.empty()) log.SetLimit(*limitEntryFor(o.recordLimit));
    // The sampling countdown runs on the real clock, one tick a second,
    // however the input arrives.
    const auto started = std::chrono::steady_clock::now();
    long ticks = 0;
    auto tick = [&] {
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started)
                .count();
        for (; ticks < seconds; ++ticks) log.TrecordTimer();
    };
    // ---- the core starts as the window's does after start-up
    corvel::InstrumentProfile profile = corvel::ApplyProfileSwitches(corvel::BuiltInProfileSwitches());
    if (!o.rangeClass.empty()) profile.rangeClass = o.rangeClass;
    corvel::StartCore(core, profile, o.separatorGiven ? o.separator : corvel::ReadSystemDecimalSeparator());
    core.Judge().SetLimitTexts(o.high, o.low);
    std::string out;
    core.afterDecode = [&](std::string_view decoder) {
        if (o.quiet) return;
        out = corvel::DecodeReportLine(decoder, core);
        out.push_back('\n');
        std::fwrite(out.data(), 1, out.size(), stdout);
    };

    auto& frames = core.Frames();
    if (o.handler == "hid") {
        std::string line;
        std::vector<std::uint8_t> report;
        long lineNo = 0;
        int ch;
        bool more = true;
        while (more) {
            line.clear();
            // ---- bounded lines: what lies past the longest report is
            // skipped while it is read, so an endless line costs no memory.
            bool cut = false;
            while ((ch = std::fgetc(in)) != EOF && ch != '\n') {
                if (line.size() < kLongestReportLine) {
                    line.push_back(static_cast<char>(ch));
                } else {
                    cut = true;
                }
            }
            more = ch != EOF;
            if (!more && line.empty()) break;
            ++lineNo;
            tick();
            if (cut) {
                std::fprintf(stderr, "corvel-decode: line %ld is longer than the longest report; skipped\n",
                             lineNo);
                continue;
            }
            if (!parseReport(line, report)) {
                std::fprintf(stderr,
                             "corvel-decode: line %ld is not a report of hexadecimal byte pairs; skipped\n",
                             lineNo);
                continue;
            }
            frames.HidDataToFrame(report.data(), static_cast<std::uint16_t>(report.size()));
        }
    } else {
        // The polled driver hands over at most its buffer's worth at a time.
        std::vector<std::uint8_t> chunk(2048);
        std::size_t n;
        while ((n = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) {
            tick();
            if (o.handler == "oak") {
                frames.HOakRData(chunk.data(), static_cast<std::int32_t>(n));
            } else if (o.handler == "birch") {
                frames.HBirchRData(chunk.data(), static_cast<std::int32_t>(n));
            } else {
                frames.CComm1ReceiveData(chunk.data(), static_cast<std::uint32_t>(n));
            }
        }
    }
    if (in != stdin) std::fclose(in);
    std::fflush(stdout);
    // A workbook's numbers, limit lines and summary are taken as the
    // decoders and the judge took them.
    corvel::SummaryLimits limits;
    limits.decimal = core.Decoders().DecimalSeparator().empty() ? '.' : core.Decoders().DecimalSeparator()[0];
    limits.high = o.high;
    limits.low = o.low;
    if (!o.log.empty() && !corvel::SaveLogFile(log.Rows(), o.log, corvel::SaveFormatOf(o.log), limits)) {
        std::fprintf(stderr, "corvel-decode: cannot write the log to %s\n", o.log.c_str());
        return 1;
    }
    return 0;
}
