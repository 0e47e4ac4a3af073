// corvel-convert run as a user runs it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>

#include "record/JournalFormat.h"

namespace {

const std::string kHeader = "No\tTime\tValue\tUnit\tValue2\tUnit2\r\n";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(CorvelConvert, ConvertsByNameAndSaysWhatFailed) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) {
        return QDir(dir.path()).filePath(QLatin1String(name)).toStdString();
    };
    std::ofstream(path("in.xls"), std::ios::binary) << kHeader << "1\t10:00:00\t\"a b\"\tm|s\tNULL\tNULL\r\n";
    std::ofstream(path("bad.txt"), std::ios::binary) << kHeader << "2\r\n1 2 3 4 5 6 7\r\n";
    QDir(dir.path()).mkdir(QStringLiteral("folder.xml"));
    const std::string noSuchFile = "\n" + path("missing.xml") + ": No such file or directory\n";
    const struct {
        const char* in;
        const char* out;
        int exit;
        std::string err;
        bool written;
        std::string starts;  // what OUT starts with
    } cases[] = {
        {"in.xls", "a.xml", 0, "", true, "<?xml version=\"1.0\" standalone=\"yes\"?>"},
        {"a.xml", "b.txt", 0, "", true, kHeader + "1\t10:00:00\t\"a b\"\tm|s\tNULL\tNULL\r\n"},
        {"in.xls", "c.XML", 0, "", true, kHeader + "1\t"},
        {"bad.txt", "d.xls", 1, "Failed to Load File!\n", true,
         kHeader + "2\tNULL\tNULL\tNULL\tNULL\tNULL\r\n"},
        // An input that cannot be opened at all writes nothing and says why.
        {"missing.xml", "e.xls", 1, "Failed to Load File!" + noSuchFile, false, ""},
        {"missing.xml", "e.pdf", 1, "Failed to Load File!" + noSuchFile, false, ""},
        {"folder.xml", "f.xml", 1, "Failed to Load File!\n" + path("folder.xml") + ": Is a directory\n",
         false, ""},
        {"in.xls", "no/such/f.xls", 1,
         "Could not save table to specified file: " + path("no/such/f.xls") + "\n", false, ""},
    };
    for (const auto& c : cases) {
        QProcess convert;
        convert.start(QStringLiteral(CORVEL_CONVERT),
                      {QString::fromStdString(path(c.in)), QString::fromStdString(path(c.out))});
        ASSERT_TRUE(convert.waitForFinished(30000)) << c.in;
        EXPECT_EQ(convert.exitCode(), c.exit) << c.in << " -> " << c.out;
        EXPECT_EQ(convert.readAllStandardError().toStdString(), c.err) << c.in << " -> " << c.out;
        EXPECT_TRUE(convert.readAllStandardOutput().isEmpty());
        EXPECT_EQ(QFile::exists(QString::fromStdString(path(c.out))), c.written) << c.out;
        EXPECT_EQ(ReadAll(path(c.out)).rfind(c.starts, 0), 0u) << c.out;
    }
}

// A journal left by a program that died: its rows come out in any format,
// without the torn batch at its end; ".pdf" is the printed report.
TEST(CorvelConvert, RescuesAJournalAndPrintsToPdf) {
    namespace j = corvel::journal;
    QTemporaryDir dir;
    const auto path = [&](const char* name) {
        return QDir(dir.path()).filePath(QLatin1String(name)).toStdString();
    };
    std::string payload;
    j::Encoder encoder;
    encoder.Logged({1, 36000, {}, "1.23", "m|s", "", ""}, 1.23, payload);
    encoder.Logged({2, 36001, {}, "1.24", "m|s", "", ""}, 1.24, payload);
    std::string bytes = j::Header();
    j::AppendBatch(payload, bytes);
    std::string torn;
    encoder.Logged({3, 36002, {}, "1.25", "m|s", "", ""}, 1.25, torn);
    j::AppendBatch(torn, bytes);
    bytes.resize(bytes.size() - 3);  // the last write was cut short
    std::ofstream(path("run.journal"), std::ios::binary) << bytes;

    const struct {
        const char* out;
        std::string written;
    } cases[] = {
        {"rows.xls",
         kHeader + "1\t10:00:00\t1.23\tm|s\tNULL\tNULL\r\n2\t10:00:01\t1.24\tm|s\tNULL\tNULL\r\n"},
        {"rows.xml", "<?xml version=\"1.0\" standalone=\"yes\"?>"},
        {"rows.pdf", "%PDF-"},
    };
    for (const auto& c : cases) {
        QProcess convert;
        convert.start(QStringLiteral(CORVEL_CONVERT),
                      {QString::fromStdString(path("run.journal")), QString::fromStdString(path(c.out))});
        ASSERT_TRUE(convert.waitForFinished(60000)) << c.out;
        EXPECT_EQ(convert.exitCode(), 0) << c.out << ": " << convert.readAllStandardError().toStdString();
        const std::string written = ReadAll(path(c.out));
        if (std::string(c.out) == "rows.xls")
            EXPECT_EQ(written, c.written);
        else
            EXPECT_EQ(written.rfind(c.written, 0), 0u) << c.out;
    }
    // The report holds the two rows and nothing of the torn third.
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QString::fromStdString(path("rows.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const std::string report = text.readAllStandardOutput().toStdString();
    EXPECT_NE(report.find("TEST DATA REPORT"), std::string::npos);
    EXPECT_NE(report.find("1.24"), std::string::npos);
    EXPECT_EQ(report.find("1.25"), std::string::npos);
}

}  // namespace
