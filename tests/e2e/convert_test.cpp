// corvel-convert run as a user runs it.

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>

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
    const struct {
        const char* in;
        const char* out;
        int exit;
        std::string err;
        std::string written;  // what OUT starts with
    } cases[] = {
        {"in.xls", "a.xml", 0, "", "<?xml version=\"1.0\" standalone=\"yes\"?>"},
        {"a.xml", "b.txt", 0, "", kHeader + "1\t10:00:00\t\"a b\"\tm|s\tNULL\tNULL\r\n"},
        {"in.xls", "c.XML", 0, "", kHeader + "1\t"},
        {"bad.txt", "d.xls", 1, "Failed to Load File!\n", kHeader + "2\tNULL\tNULL\tNULL\tNULL\tNULL\r\n"},
        {"missing.xml", "e.xls", 1, "Failed to Load File!\n", kHeader},
        {"in.xls", "no/such/f.xls", 1,
         "Could not save table to specified file: " + path("no/such/f.xls") + "\n", ""},
    };
    for (const auto& c : cases) {
        QProcess convert;
        convert.start(QStringLiteral(CORVEL_CONVERT),
                      {QString::fromStdString(path(c.in)), QString::fromStdString(path(c.out))});
        ASSERT_TRUE(convert.waitForFinished(30000)) << c.in;
        EXPECT_EQ(convert.exitCode(), c.exit) << c.in << " -> " << c.out;
        EXPECT_EQ(convert.readAllStandardError().toStdString(), c.err) << c.in << " -> " << c.out;
        EXPECT_TRUE(convert.readAllStandardOutput().isEmpty());
        EXPECT_EQ(ReadAll(path(c.out)).rfind(c.written, 0), 0u) << c.out;
    }
}

}  // namespace
