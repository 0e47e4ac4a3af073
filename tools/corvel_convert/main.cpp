// corvel-convert IN OUT: reads a data file into an empty log as the Open
// command does and writes it as the Save command does, each by its file
// name: ".xml" exactly is an XML data packet, any other name a text table.
// A crash journal can be read too, so that its rows can be rescued by hand,
// ".pdf" writes the printed report, ".xlsx" an Excel workbook and ".csv"
// comma-separated values. corvel-convert --summary IN prints what the log
// sums up to.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDate>
#include <QGuiApplication>
#include <QLocale>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Version.h"
#include "chart/DataReport.h"
#include "record/ExportText.h"
#include "record/JournalFormat.h"
#include "record/JournalReplay.h"
#include "record/LogFileJobs.h"
#include "record/LogFiles.h"
#include "record/LogSummary.h"
#include "record/ReadingLogStore.h"

namespace {

constexpr const char* kUsage =
    "usage: corvel-convert IN OUT\n"
    "       corvel-convert --help | --version\n"
    "       corvel-convert --summary IN\n"
    "Reads IN as the program opens a data file (a name ending in \".xml\" as an\n"
    "XML data packet, any other as a text table) and writes OUT as the program\n"
    "saves one (\".xml\" the packet, \".pdf\" the printed report, any other\n"
    "name the text table; \".xlsx\" an Excel workbook and \".csv\" comma-separated\n"
    "values for other programs). IN may also be the reading log's crash journal.\n"
    "--summary prints the log's figures, one a line.\n";

// Why IN cannot be opened for reading at all, or nothing when it can.
std::optional<std::string> CannotOpen(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat st {};
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    ::close(fd);
    if (folder) return std::strerror(EISDIR);
    return std::nullopt;
}

// A journal is known by its first bytes, whatever its name.
bool IsJournal(const std::string& fileName) {
    char head[sizeof corvel::journal::kMagic] = {};
    std::ifstream file(fileName, std::ios::binary);
    return file.read(head, sizeof head) && std::memcmp(head, corvel::journal::kMagic, sizeof head) == 0;
}

bool Read(const std::string& fileName, corvel::ReadingLogStore& rows) {
    if (IsJournal(fileName)) {
        // The rows of every whole batch; a torn tail is left out.
        corvel::RestoredLog log;
        const bool read = corvel::ReadJournalInto(fileName, log);
        rows = std::move(log.rows);
        return read;
    }
    const corvel::LogFileFormat format = corvel::FormatOf(fileName);
    if (format == corvel::LogFileFormat::TextTable) {
        // Rows read before a failure stay, as when the window opens it.
        corvel::StoreSink sink(rows);
        return corvel::LoadLogFile(fileName, format, sink);
    }
    // A packet takes the log's place only when it was read whole.
    corvel::ReadingLogStore packet;
    corvel::StoreSink sink(packet);
    if (!corvel::LoadLogFile(fileName, format, sink)) return false;
    rows = std::move(packet);
    return true;
}

// Numbers in the files are written with the system's decimal separator,
// as the window writes them.
corvel::SummaryLimits Limits() {
    corvel::SummaryLimits limits;
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 0x80) limits.decimal = point.at(0).toLatin1();
    return limits;
}

bool WriteAs(const corvel::ReadingLogStore& rows, const std::string& name) {
    return corvel::SaveLogFile(rows, name, corvel::SaveFormatOf(name), Limits());
}

// The kinds of file OUT can be, tried in order; the last takes any name.
struct Output {
    bool (*takes)(std::string_view fileName);
    bool (*write)(const corvel::ReadingLogStore& rows, const std::string& fileName);
};

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool WritePdf(const corvel::ReadingLogStore& rows, const std::string& fileName) {
    return corvel::WriteReportPdf(rows, QString::fromStdString(fileName), QDate::currentDate(), nullptr);
}

const Output kOutputs[] = {
    {[](std::string_view name) { return EndsWith(name, ".pdf"); }, WritePdf},
    {[](std::string_view) { return true; }, WriteAs},
};

int PrintSummary(const std::string& in) {
    corvel::ReadingLogStore rows;
    if (!Read(in, rows)) {
        std::fprintf(stderr, "%s\n", std::string(corvel::LogFiles::kLoadFailed).c_str());
        return 1;
    }
    for (const corvel::SummaryLine& line : corvel::SummaryLines(corvel::Summarize(rows, Limits())))
        std::printf("%s: %s\n", line.label.c_str(), corvel::ToUtf8(line.text).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("corvel-convert %s\n", corvel::kVersion);
        return 0;
    }
    if (argc == 3 && std::string_view(argv[1]) == "--summary" && !std::string_view(argv[2]).empty())
        return PrintSummary(argv[2]);
    if (argc != 3 || std::string_view(argv[1]).empty() || std::string_view(argv[2]).empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string in = argv[1];
    const std::string out = argv[2];
    // An input that cannot be opened at all leaves OUT alone, and says why.
    if (const auto why = CannotOpen(in)) {
        std::fprintf(stderr, "%s\n%s: %s\n", std::string(corvel::LogFiles::kLoadFailed).c_str(), in.c_str(),
                     why->c_str());
        return 1;
    }
    // The report is painted with the program's fonts, which needs an
    // application object but no display.
    std::unique_ptr<QGuiApplication> app;
    if (EndsWith(out, ".pdf")) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    corvel::ReadingLogStore rows;
    const bool read = Read(in, rows);
    if (!read) std::fprintf(stderr, "%s\n", std::string(corvel::LogFiles::kLoadFailed).c_str());
    for (const Output& output : kOutputs) {
        if (!output.takes(out)) continue;
        if (!output.write(rows, out)) {
            std::fprintf(stderr, "%s\n", corvel::LogFiles::NotSavedMessage(out).c_str());
            return 1;
        }
        break;
    }
    return read ? 0 : 1;
}
