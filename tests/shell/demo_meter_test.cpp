#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "shell/DemoMeter.h"

using corvel::DemoMeter;

namespace {

// What a folder holds under the simulator's name.
enum class Entry { None, Program, PlainFile, Folder };

void Put(const QString& folder, Entry entry) {
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("corvel-meter-sim"));
    switch (entry) {
        case Entry::None: break;
        case Entry::Program:
        case Entry::PlainFile: {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
            file.close();
            if (entry == Entry::Program) file.setPermissions(file.permissions() | QFile::ExeOwner);
            break;
        }
        case Entry::Folder: QDir().mkpath(path); break;
    }
}

struct FindCase {
    const char* name;
    Entry besideProgram;  // the program's own folder (a build tree)
    Entry helperFolder;   // where the package installs helper programs
    Entry onPath;
    const char* expected;  // "beside", "helper", "path" or "" for none
};

const FindCase kFindCases[] = {
    {"BuildTreeWinsOverInstalledCopy", Entry::Program, Entry::Program, Entry::Program, "beside"},
    {"InstalledHelperWhenNoneBeside", Entry::None, Entry::Program, Entry::Program, "helper"},
    {"NonExecutableFileIsPassedOver", Entry::PlainFile, Entry::Program, Entry::None, "helper"},
    {"FolderOfThatNameIsPassedOver", Entry::Folder, Entry::Program, Entry::None, "helper"},
    {"PathIsTheLastResort", Entry::None, Entry::None, Entry::Program, "path"},
    {"NoneAnywhere", Entry::None, Entry::PlainFile, Entry::None, ""},
};

class FindSimulatorTest : public testing::TestWithParam<FindCase> {
protected:
    void SetUp() override { savedPath_ = qgetenv("PATH"); }
    void TearDown() override { qputenv("PATH", savedPath_); }
    QByteArray savedPath_;
};

TEST_P(FindSimulatorTest, LooksBesideThenAmongHelpersThenOnPath) {
    const FindCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString beside = dir.filePath(QStringLiteral("bin"));
    const QString helper = dir.filePath(QStringLiteral("libexec/corvel"));
    const QString path = dir.filePath(QStringLiteral("path"));
    Put(beside, c.besideProgram);
    Put(helper, c.helperFolder);
    Put(path, c.onPath);
    qputenv("PATH", path.toLocal8Bit());

    const QString found = DemoMeter::FindSimulator({beside, helper});

    const QString expected = QString::fromLatin1(c.expected);
    if (expected.isEmpty()) {
        EXPECT_TRUE(found.isEmpty()) << found.toStdString();
        return;
    }
    const QString folder = expected == QLatin1String("beside")   ? beside
                           : expected == QLatin1String("helper") ? helper
                                                                 : path;
    EXPECT_EQ(found.toStdString(), QDir(folder).filePath(QStringLiteral("corvel-meter-sim")).toStdString());
}

INSTANTIATE_TEST_SUITE_P(DemoMeter, FindSimulatorTest, testing::ValuesIn(kFindCases),
                         [](const testing::TestParamInfo<FindCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
