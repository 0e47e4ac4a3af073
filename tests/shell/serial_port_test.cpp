// Connect -> "Serial Port...": choosing the device behind COM1 among the
// machine's ports, remembered in the user's settings from one start of the
// program to the next, against real pseudo-terminals.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <optional>

#include "links/TCComm.h"
#include "links/TCommPortDriver.h"
#include "shell/SerialPortChoice.h"
#include "shell/SerialPortDialog.h"
#include "shell/UserSettings.h"
#include "shell/WindowRig.h"
#include "support/FakePtySerialPorts.h"

using namespace corvel;
using test::FakePtySerialPorts;
using test::PseudoTerminal;
using test::WindowRig;

namespace {

// A fresh configuration folder, as $XDG_CONFIG_HOME is for a program
// started by the tests; the settings file lies where the program keeps it.
class SettingsFolder {
public:
    SettingsFolder() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path()); }
    QString File() const { return dir_.filePath(QStringLiteral("corvel/corvel.conf")); }
    void Write(const QByteArray& content) const {
        QDir(dir_.path()).mkpath(QStringLiteral("corvel"));
        QFile f(File());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    QByteArray Read() const {
        QFile f(File());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString Path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// One start of the program: its settings opened as the program opens them,
// the window made, COM1 given on the command line or not.
struct ProgramStart {
    std::unique_ptr<QSettings> settings = OpenUserSettings();
    WindowRig rig;
    ProgramStart(const SerialPortList& ports, const std::optional<QString>& portOption = std::nullopt)
        : rig([&](WindowPlatform& p) {
              p.settings = settings.get();
              p.serialPorts = &ports;
              if (portOption) {
                  p.ports.Set(QStringLiteral("COM1"), *portOption);
                  p.com1FromCommandLine = true;
              }
          }) {}
    TFCOMM& w() { return *rig.w; }
};

// One line of the dialog's list as the user reads it.
struct Line {
    QString mark, device, description, manufacturer, serial;
    bool operator==(const Line&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Line& l) {
    return os << '[' << l.mark.toStdString() << '|' << l.device.toStdString() << '|'
              << l.description.toStdString() << '|' << l.manufacturer.toStdString() << '|'
              << l.serial.toStdString() << ']';
}

// Runs `f` inside the application's event loop. A test before may have
// ended the program (Quit, the close box) with no loop running, which
// leaves every later dialog's loop to return at once until the
// application's loop runs again.
void InApplicationLoop(const std::function<void()>& f) {
    QTimer::singleShot(0, [&f] {
        f();
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
}

struct DialogSeen {
    bool shown = false;
    std::vector<Line> lines;
    QString selected;
    bool noteVisible = false;
    QString note;
};

// Opens the dialog through the Connect menu, reads what it shows and lets
// `act` answer it (Cancel when it does nothing).
DialogSeen RunDialog(TFCOMM& w, const std::function<void(SerialPortDialog&)>& act = {}) {
    DialogSeen seen;
    const std::function<void()> look = [&] {
        auto* d = qobject_cast<SerialPortDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        seen.shown = true;
        QTreeWidget* list = d->List();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* it = list->topLevelItem(i);
            seen.lines.push_back({it->text(0), it->text(1), it->text(2), it->text(3), it->text(4)});
        }
        if (list->currentItem() && list->currentItem()->isSelected())
            seen.selected = list->currentItem()->text(SerialPortDialog::Device);
        seen.noteVisible = !d->Note()->isHidden();
        seen.note = d->Note()->text();
        // For a look at it: CORVEL_TEST_PICTURES=folder saves the dialog.
        if (const QString pictures = qEnvironmentVariable("CORVEL_TEST_PICTURES"); !pictures.isEmpty())
            d->grab().save(pictures + QStringLiteral("/serial-port-dialog.png"));
        if (act) act(*d);
        if (d->isVisible()) d->reject();
    };
    // Whatever happens, the dialog goes, so that a failure cannot hang.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    guard.start(5000);
    InApplicationLoop([&] {
        QTimer::singleShot(0, &w, look);
        w.SerialPort1()->trigger();
    });
    return seen;
}

// Picks the line of `device` and presses OK.
std::function<void(SerialPortDialog&)> Pick(const QString& device) {
    return [device](SerialPortDialog& d) {
        const auto found = d.List()->findItems(device, Qt::MatchExactly, SerialPortDialog::Device);
        ASSERT_EQ(found.size(), 1) << device.toStdString();
        d.List()->setCurrentItem(found.front());
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    };
}

const char kJunk[] = "\x00\xff\xfe[serial\x01\nCOM1=\xc3\x28/dev\n\x00";
const QString kMark = QStringLiteral("\u2714");
const QString kAbsent = QString::fromLatin1(SerialPortDialog::kAbsent);

}  // namespace

// ---- the list

TEST(SerialPortDialog, ListsThePortsUsbAdaptersFirstWithCOM1Marked) {
    SettingsFolder folder;
    PseudoTerminal a, b, c;
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    FakePtySerialPorts ports;
    ports.Add(a.path(), QStringLiteral("ttyS-like port"));
    ports.Add(b.path(), QStringLiteral("USB-Serial Controller"), true, QStringLiteral("Prolific"),
              QStringLiteral("A1B2"));
    ports.Add(c.path(), QStringLiteral("CP2102 USB to UART"), true, QStringLiteral("Silicon Labs"));
    ports.Add(QStringLiteral("/dev/corvel-unplugged"), QStringLiteral("gone"), true);
    SerialPortList& list = ports;
    QList<SerialPortEntry> usbFirst = list.AvailablePorts();
    ASSERT_EQ(usbFirst.size(), 3);

    const struct {
        const char* name;
        std::optional<QString> com1;  // --port COM1=; none: nothing given
        std::vector<Line> expected;
        QString selected;
    } cases[] = {
        {"COM1 on a listed USB adapter",
         b.path(),
         {{{},
           usbFirst[0].device,
           usbFirst[0].description,
           usbFirst[0].manufacturer,
           usbFirst[0].serialNumber},
          {{},
           usbFirst[1].device,
           usbFirst[1].description,
           usbFirst[1].manufacturer,
           usbFirst[1].serialNumber},
          {{}, a.path(), QStringLiteral("ttyS-like port"), {}, {}}},
         b.path()},
        {"COM1 on a device not present",
         QStringLiteral("/dev/corvel-unplugged"),
         {{{},
           usbFirst[0].device,
           usbFirst[0].description,
           usbFirst[0].manufacturer,
           usbFirst[0].serialNumber},
          {{},
           usbFirst[1].device,
           usbFirst[1].description,
           usbFirst[1].manufacturer,
           usbFirst[1].serialNumber},
          {{}, a.path(), QStringLiteral("ttyS-like port"), {}, {}},
          {kMark, QStringLiteral("/dev/corvel-unplugged"), kAbsent, {}, {}}},
         QStringLiteral("/dev/corvel-unplugged")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramStart start(ports, c.com1);
        std::vector<Line> expected = c.expected;
        for (Line& l : expected)
            if (l.device == c.selected) l.mark = kMark;
        const DialogSeen seen = RunDialog(start.w());
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.lines, expected);
        EXPECT_EQ(seen.selected, c.selected);
        EXPECT_TRUE(usbFirst[0].usb && usbFirst[1].usb && !usbFirst[2].usb);
    }
}

TEST(SerialPortDialog, DeviceNamesSortWithTheirNumbersAsNumbers) {
    const struct {
        const char* a;
        const char* b;
        bool less;
    } cases[] = {
        {"/dev/ttyS2", "/dev/ttyS10", true},
        {"/dev/ttyS10", "/dev/ttyS2", false},
        {"/dev/ttyS1", "/dev/ttyS1", false},
        {"/dev/ttyACM0", "/dev/ttyS0", true},
        {"/dev/ttyUSB9", "/dev/ttyUSB10", true},
        {"/dev/ttyS", "/dev/ttyS0", true},
        {"/dev/pts/99999999999999999999", "/dev/pts/100000000000000000000", true},
        {"/dev/ttyS007", "/dev/ttyS8", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " < " + c.b);
        EXPECT_EQ(DeviceNameLess(QString::fromLatin1(c.a), QString::fromLatin1(c.b)), c.less);
    }
}

// ---- remembered from one start to the next

TEST(SerialPortDialog, AChoiceIsRememberedForTheNextStartAndOpenedThere) {
    SettingsFolder folder;
    PseudoTerminal meter;
    ASSERT_TRUE(meter.ok());
    FakePtySerialPorts ports;
    ports.Add(meter.path(), QStringLiteral("USB-Serial Controller"), true);
    {
        ProgramStart first(ports);
        // Nothing remembered: COM1 is what it always was.
        EXPECT_EQ(first.w().COMM2().portMap().Resolve(QStringLiteral("COM1")),
                  SerialPortChoice::DefaultDevice());
        const DialogSeen seen = RunDialog(first.w(), Pick(meter.path()));
        ASSERT_TRUE(seen.shown);
        EXPECT_FALSE(seen.noteVisible);
        // The choice holds at once, in this run.
        first.w().START1()->trigger();
        EXPECT_EQ(first.w().COMM2().openDevice(), meter.path());
        EXPECT_TRUE(first.rig.prompts.shown.empty());
        first.w().STOP1()->trigger();
    }
    EXPECT_TRUE(folder.Read().contains(meter.path().toUtf8())) << folder.Read().toStdString();
    ProgramStart second(ports);
    const DialogSeen seen = RunDialog(second.w());
    EXPECT_EQ(seen.selected, meter.path());
    ASSERT_EQ(seen.lines.size(), 1u);
    EXPECT_EQ(seen.lines[0].mark, kMark);
    second.w().START1()->trigger();
    EXPECT_EQ(second.w().COMM2().openDevice(), meter.path());
    EXPECT_TRUE(second.rig.prompts.shown.empty());
}

TEST(SerialPortDialog, ThePortOptionWinsForItsRunAndTheChoiceWaitsForTheNext) {
    SettingsFolder folder;
    PseudoTerminal remembered, given, chosenMeanwhile;
    ASSERT_TRUE(remembered.ok() && given.ok() && chosenMeanwhile.ok());
    FakePtySerialPorts ports;
    for (const PseudoTerminal* p : {&remembered, &given, &chosenMeanwhile})
        ports.Add(p->path(), QStringLiteral("pty"));
    {
        ProgramStart first(ports);
        RunDialog(first.w(), Pick(remembered.path()));
    }
    {
        ProgramStart withOption(ports, given.path());
        EXPECT_EQ(withOption.w().SerialChoice().Remembered(), remembered.path());
        const DialogSeen seen = RunDialog(withOption.w(), Pick(chosenMeanwhile.path()));
        EXPECT_EQ(seen.selected, given.path());
        EXPECT_TRUE(seen.noteVisible);
        EXPECT_TRUE(seen.note.contains(given.path())) << seen.note.toStdString();
        withOption.w().START1()->trigger();
        EXPECT_EQ(withOption.w().COMM2().openDevice(), given.path());
        EXPECT_TRUE(withOption.rig.prompts.shown.empty());
    }
    ProgramStart after(ports);
    after.w().START1()->trigger();
    EXPECT_EQ(after.w().COMM2().openDevice(), chosenMeanwhile.path());
}

TEST(SerialPortDialog, ARememberedDeviceThatIsGoneShowsAbsentAndStartSaysSo) {
    SettingsFolder folder;
    auto adapter = std::make_unique<PseudoTerminal>();
    ASSERT_TRUE(adapter->ok());
    const QString gone = adapter->path();
    FakePtySerialPorts ports;
    ports.Add(gone, QStringLiteral("USB-Serial Controller"), true);
    {
        ProgramStart first(ports);
        RunDialog(first.w(), Pick(gone));
    }
    adapter.reset();  // unplugged
    ASSERT_FALSE(QFileInfo::exists(gone));

    ProgramStart second(ports);  // starts as any other time: no message
    EXPECT_TRUE(second.rig.prompts.shown.empty());
    const DialogSeen seen = RunDialog(second.w());
    EXPECT_EQ(seen.lines, (std::vector<Line>{{kMark, gone, kAbsent, {}, {}}}));
    second.w().START1()->trigger();
    EXPECT_EQ(second.rig.prompts.Messages(),
              std::vector<std::string>{"COM1 (" + gone.toStdString() + "): No such file or directory"});
    EXPECT_TRUE(second.w().START1()->isEnabled());
}

TEST(SerialPortDialog, DefaultForgetsTheChoice) {
    SettingsFolder folder;
    PseudoTerminal meter;
    ASSERT_TRUE(meter.ok());
    FakePtySerialPorts ports;
    ports.Add(meter.path(), QStringLiteral("pty"));
    {
        ProgramStart first(ports);
        RunDialog(first.w(), Pick(meter.path()));
        RunDialog(first.w(), [](SerialPortDialog& d) { d.DefaultButton()->click(); });
        EXPECT_EQ(first.w().COMM2().portMap().Resolve(QStringLiteral("COM1")),
                  SerialPortChoice::DefaultDevice());
    }
    EXPECT_FALSE(folder.Read().contains("COM1")) << folder.Read().toStdString();
    ProgramStart second(ports);
    EXPECT_EQ(second.w().SerialChoice().Remembered(), QString());
    EXPECT_EQ(second.w().COMM2().portMap().Resolve(QStringLiteral("COM1")),
              SerialPortChoice::DefaultDevice());
}

TEST(SerialPortDialog, CancelChangesNothing) {
    SettingsFolder folder;
    PseudoTerminal meter;
    ASSERT_TRUE(meter.ok());
    FakePtySerialPorts ports;
    ports.Add(meter.path(), QStringLiteral("pty"));
    ProgramStart start(ports);
    RunDialog(start.w(), [&](SerialPortDialog& d) {
        d.List()->setCurrentItem(d.List()->topLevelItem(0));
        d.reject();
    });
    EXPECT_EQ(start.w().COMM2().portMap().Resolve(QStringLiteral("COM1")), SerialPortChoice::DefaultDevice());
    EXPECT_FALSE(QFileInfo::exists(folder.File()));
}

// ---- the entry follows the serial link

TEST(SerialPortDialog, TheEntryIsDisabledWhileTheSerialLinkIsStarted) {
    PseudoTerminal meter;
    ASSERT_TRUE(meter.ok());
    WindowRig rig([&](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), meter.path()); });
    TFCOMM& w = *rig.w;
    QAction* entry = w.SerialPort1();
    ASSERT_NE(entry, nullptr);
    // After START and STOP in the Connect menu.
    const QList<QAction*> items = w.findChild<QMenu*>(QStringLiteral("Connect1"))->actions();
    ASSERT_FALSE(items.isEmpty());
    EXPECT_EQ(items.back(), entry);
    EXPECT_EQ(entry->text(), "Serial Port...");
    EXPECT_LT(items.indexOf(w.STOP1()), items.indexOf(entry));

    const struct {
        const char* step;
        std::function<void()> act;
        bool enabled;
    } steps[] = {
        {"at start", [] {}, true},
        {"START", [&] { w.START1()->trigger(); }, false},
        {"STOP", [&] { w.STOP1()->trigger(); }, true},
        {"COM Connect down", [&] { w.COMCon()->click(); }, false},
        {"COM Connect up", [&] { w.COMCon()->click(); }, true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.act();
        EXPECT_EQ(entry->isEnabled(), s.enabled);
    }
    // A start that fails leaves the link stopped, the entry usable.
    WindowRig failing(
        [](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), QStringLiteral("/dev/corvel-none")); });
    failing.w->START1()->trigger();
    EXPECT_TRUE(failing.w->SerialPort1()->isEnabled());
}

// ---- settings that cannot be read or written

TEST(SerialPortSettings, ADamagedOrUnreadableFileCountsAsNothingRemembered) {
    PseudoTerminal meter;
    ASSERT_TRUE(meter.ok());
    const QByteArray pty = meter.path().toUtf8();
    const struct {
        const char* name;
        std::optional<QByteArray> content;  // none: no file at all
        bool folderInsteadOfFile;
        QString remembered;
    } cases[] = {
        {"no file", std::nullopt, false, {}},
        {"empty file", QByteArray(), false, {}},
        {"a good one", "[serial]\nCOM1=" + pty + "\n", false, meter.path()},
        {"binary junk", QByteArray(kJunk, sizeof kJunk - 1), false, {}},
        {"outside its group", "COM1=" + pty + "\n", false, {}},
        {"a list, not a path", "[serial]\nCOM1=" + pty + "," + pty + "\n", false, {}},
        {"a typed value", "[serial]\nCOM1=@ByteArray(" + pty + ")\n", false, {}},
        {"a relative path", "[serial]\nCOM1=ttyUSB0\n", false, {}},
        {"an empty value", "[serial]\nCOM1=\n", false, {}},
        {"a folder, not a device", "[serial]\nCOM1=/tmp\n", false, {}},
        {"a plain file, not a device", "[serial]\nCOM1=/etc/hostname\n", false, {}},
        {"a folder in the file's place", std::nullopt, true, {}},
        {"a device no longer there", "[serial]\nCOM1=/dev/corvel-unplugged\n", false,
         QStringLiteral("/dev/corvel-unplugged")},
    };
    FakePtySerialPorts ports;
    ports.Add(meter.path(), QStringLiteral("pty"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFolder folder;
        if (c.content) folder.Write(*c.content);
        if (c.folderInsteadOfFile) {
            ASSERT_TRUE(QDir().mkpath(folder.File()));
        }
        {
            ProgramStart start(ports);
            EXPECT_EQ(start.w().SerialChoice().Remembered(), c.remembered);
            const QString com1 = c.remembered.isEmpty() ? SerialPortChoice::DefaultDevice() : c.remembered;
            EXPECT_EQ(start.w().COMM2().portMap().Resolve(QStringLiteral("COM1")), com1);
            EXPECT_EQ(start.w().CComm1().portMap().Resolve(QStringLiteral("COM1")), com1);
            EXPECT_TRUE(start.rig.prompts.shown.empty());
            // The list still opens and a choice still takes effect in the run.
            RunDialog(start.w(), Pick(meter.path()));
            EXPECT_EQ(start.w().COMM2().portMap().Resolve(QStringLiteral("COM1")), meter.path());
            // Only where no file can be written is the user told that the
            // choice is not kept.
            EXPECT_EQ(start.rig.prompts.Messages().size(), c.folderInsteadOfFile ? 1u : 0u);
        }
        ProgramStart next(ports);
        EXPECT_EQ(next.w().SerialChoice().Remembered(), c.folderInsteadOfFile ? QString() : meter.path());
    }
}

TEST(SerialPortSettings, AChoiceThatCannotBeWrittenIsUsedAndSaidSo) {
    SettingsFolder folder;
    // The settings' folder is a plain file: nothing can be written under it.
    QFile blocker(folder.Path() + QStringLiteral("/corvel"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    PseudoTerminal meter;
    ASSERT_TRUE(meter.ok());
    FakePtySerialPorts ports;
    ports.Add(meter.path(), QStringLiteral("pty"));
    ProgramStart start(ports);
    RunDialog(start.w(), Pick(meter.path()));
    ASSERT_EQ(start.rig.prompts.Messages().size(), 1u);
    EXPECT_EQ(start.rig.prompts.shown.back().kind, UserPrompts::Kind::Warning);
    EXPECT_NE(start.rig.prompts.Messages().front().find("could not be remembered"), std::string::npos);
    start.w().START1()->trigger();
    EXPECT_EQ(start.w().COMM2().openDevice(), meter.path());
}
