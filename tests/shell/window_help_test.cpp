// What every desktop program has: the Help menu with the About box and the
// README's user sections, the standard keys of the commands, and tooltips
// on the buttons that show only an icon.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include "chart/ChartToolbar.h"
#include "chart/ReportPreview.h"
#include "chart/TrendChart.h"
#include "shell/HelpWindows.h"
#include "shell/WindowRig.h"

using namespace corvel;
using test::ScriptedPrompts;
using test::WindowRig;

namespace {

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

// Runs `open`, and from inside the modal window it opens runs `look` on
// it and closes it.
void WithModal(const std::function<void()>& open, const std::function<void(QWidget*)>& look) {
    bool seen = false;
    const std::function<void()> lookInside = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        seen = true;
        // For a look at it: CORVEL_TEST_PICTURES=folder saves the window.
        if (const QString pictures = qEnvironmentVariable("CORVEL_TEST_PICTURES"); !pictures.isEmpty())
            modal->grab().save(pictures + QLatin1Char('/') + modal->metaObject()->className() +
                               QStringLiteral(".png"));
        look(modal);
        if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
    };
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    guard.start(10000);
    InApplicationLoop([&] {
        QTimer::singleShot(0, lookInside);
        open();
    });
    EXPECT_TRUE(seen) << "no modal window opened";
}

QStringList Titles(const QList<QAction*>& actions) {
    QStringList t;
    for (const QAction* a : actions)
        if (!a->isSeparator()) t << a->text();
    return t;
}

}  // namespace

// ---- the Help menu

TEST(HelpMenu, ComesAfterTheOtherMenusWithHelpAndAbout) {
    WindowRig rig;
    QMenuBar* bar = rig.w->menuBar();
    QStringList menus;
    for (QAction* a : bar->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"Connect", "Graphic", "Record", "Help"}));
    auto* help = rig.w->findChild<QMenu*>(QStringLiteral("Help1"));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(Titles(help->actions()), (QStringList{"Corvel Help", "About Corvel Interface Program"}));
}

TEST(HelpMenu, TheAboutBoxNamesVersionLicenceManualAndProject) {
    const QString about = AboutText();
    const struct {
        const char* what;
        QString text;
    } parts[] = {
        {"name", QStringLiteral("Corvel Interface Program")},
        {"version from the build", QStringLiteral("Version " CORVEL_TEST_VERSION)},
        {"licence", QStringLiteral("GPL-3.0-or-later")},
        {"manual page", QStringLiteral("man corvel")},
        {"where the project's files are", QStringLiteral(CORVEL_TEST_DOC_DIR)},
    };
    for (const auto& p : parts) EXPECT_TRUE(about.contains(p.text)) << p.what << ": " << about.toStdString();

    WindowRig rig;
    QAction* entry = rig.w->findChild<QAction*>(QStringLiteral("About1"));
    ASSERT_NE(entry, nullptr);
    WithModal([&] { entry->trigger(); },
              [&](QWidget* modal) {
                  auto* box = qobject_cast<QMessageBox*>(modal);
                  ASSERT_NE(box, nullptr);
                  EXPECT_EQ(box->windowTitle(), "About Corvel Interface Program");
                  EXPECT_EQ(box->text(), about);
              });
}

TEST(HelpMenu, CorvelHelpShowsTheReadmesUserSectionsOnly) {
    WindowRig rig;
    QAction* entry = rig.w->findChild<QAction*>(QStringLiteral("HelpContents1"));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    auto* browser = rig.w->findChild<QTextBrowser*>(QStringLiteral("HelpWindow"));
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->isVisible());
    EXPECT_EQ(browser->windowTitle(), "Corvel Help");
    if (const QString pictures = qEnvironmentVariable("CORVEL_TEST_PICTURES"); !pictures.isEmpty())
        browser->grab().save(pictures + QStringLiteral("/help-window.png"));
    const QString text = browser->toPlainText();
    const struct {
        const char* heading;
        bool shown;
    } sections[] = {
        {"Running on a real meter", true},
        {"The USB cable", true},
        {"The reading log's crash journal", true},
        {"corvel-convert", true},
        {"Set-up (Debian 12, as root)", false},
        {"Layout", false},
        {"Development", false},
    };
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const auto& s : sections)
        EXPECT_EQ(lines.contains(QString::fromLatin1(s.heading)), s.shown) << s.heading;
    // A second time raises the same window.
    entry->trigger();
    EXPECT_EQ(rig.w->findChildren<QTextBrowser*>(QStringLiteral("HelpWindow")).size(), 1);
}

// ---- standard keys

// Each key runs what its menu entry or button runs: the same dialogs and
// questions, in the same order.
TEST(StandardKeys, EachKeyRunsWhatItsEntryRuns) {
    const struct {
        const char* name;
        QKeySequence::StandardKey key;
        const char* keyAction;  // the action that holds the key
        QKeySequence fallback;  // where the platform binds no key
        std::function<void(TFCOMM&)> entry;
        bool opensModal;  // the print preview
        std::vector<ScriptedPrompts::Shown::Type> shown;
    } commands[] = {
        {"Save",
         QKeySequence::Save,
         "Save1",
         QKeySequence(Qt::CTRL | Qt::Key_S),
         [](TFCOMM& w) { w.findChild<QAction*>(QStringLiteral("Save1"))->trigger(); },
         false,
         {ScriptedPrompts::Shown::Type::SaveDialog}},
        {"Open",
         QKeySequence::Open,
         "OpenDataFilesKey",
         QKeySequence(Qt::CTRL | Qt::Key_O),
         [](TFCOMM& w) { w.findChild<QToolButton*>(QStringLiteral("OpenDataFiles"))->click(); },
         false,
         {ScriptedPrompts::Shown::Type::OpenDialog}},
        {"Quit",
         QKeySequence::Quit,
         "BitBtn1Key",
         QKeySequence(Qt::CTRL | Qt::Key_Q),
         [](TFCOMM& w) { w.BitBtn1()->click(); },
         false,
         {ScriptedPrompts::Shown::Type::Question}},
        {"Print",
         QKeySequence::Print,
         "BtPrintKey",
         QKeySequence(Qt::CTRL | Qt::Key_P),
         [](TFCOMM& w) { w.findChild<QToolButton*>(QStringLiteral("BtPrint"))->click(); },
         true,
         {}},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.name);
        QList<QKeySequence> expectedKeys = QKeySequence::keyBindings(c.key);
        if (expectedKeys.isEmpty()) expectedKeys = {c.fallback};
        std::vector<ScriptedPrompts::Shown> byEntry, byKey;
        {
            WindowRig rig;
            if (c.opensModal)
                WithModal([&] { c.entry(*rig.w); },
                          [](QWidget* m) { EXPECT_NE(qobject_cast<ReportPreview*>(m), nullptr); });
            else
                c.entry(*rig.w);
            byEntry = rig.prompts.shown;
        }
        {
            WindowRig rig;
            rig.w->show();
            rig.w->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(rig.w.get()));
            auto* action = rig.w->findChild<QAction*>(QString::fromLatin1(c.keyAction));
            ASSERT_NE(action, nullptr);
            EXPECT_EQ(action->shortcuts(), expectedKeys);
            auto press = [&] { QTest::keySequence(rig.w.get(), expectedKeys.front()); };
            if (c.opensModal)
                WithModal(press, [](QWidget* m) { EXPECT_NE(qobject_cast<ReportPreview*>(m), nullptr); });
            else
                press();
            byKey = rig.prompts.shown;
        }
        ASSERT_EQ(byEntry.size(), c.shown.size());
        for (std::size_t i = 0; i < c.shown.size(); ++i) EXPECT_EQ(byEntry[i].type, c.shown[i]);
        EXPECT_EQ(byKey, byEntry);
    }
}

TEST(StandardKeys, QuitByKeyAnsweredYesEndsTheProgram) {
    WindowRig rig;
    rig.prompts.answers = {UserPrompts::Answer::Yes};
    rig.w->show();
    rig.w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.w.get()));
    int ended = 0;
    QObject::connect(rig.w.get(), &TFCOMM::terminateRequested, [&] { ++ended; });
    QTest::keySequence(rig.w.get(), rig.w->findChild<QAction*>(QStringLiteral("BitBtn1Key"))->shortcut());
    EXPECT_EQ(rig.prompts.Questions(), std::vector<std::string>{"Are you ensure to exit the program?"});
    EXPECT_EQ(ended, 1);
}

TEST(StandardKeys, TheRecordMenusSaveShowsItsKey) {
    WindowRig rig;
    EXPECT_EQ(rig.w->findChild<QAction*>(QStringLiteral("Save1"))->shortcut(),
              QKeySequence(QKeySequence::Save));
    // The chart's Save is another command: it keeps no key.
    EXPECT_TRUE(rig.w->findChild<QAction*>(QStringLiteral("Save"))->shortcut().isEmpty());
}

// ---- tooltips

TEST(Tooltips, IconOnlyButtonsSayWhatTheyDo) {
    WindowRig rig;
    auto keyText = [](QKeySequence::StandardKey k) {
        return QKeySequence(k).toString(QKeySequence::NativeText);
    };
    const struct {
        const char* button;
        QString hint;  // the first line, as the layout has it
        QString doing;
        QString key;
    } buttons[] = {
        {"RecordNew", "Close Data", "Empties the log and the chart", {}},
        {"OpenDataFiles", "Open old data files", "Loads a saved log", keyText(QKeySequence::Open)},
        {"saveas", "Save data files", "Saves the log as a text table or an XML data packet",
         keyText(QKeySequence::Save)},
        {"BtPrint", "Print", "printed report", keyText(QKeySequence::Print)},
        {"BtSave", "Save", "Saves the chart as a bitmap picture", {}},
        {"BtFirst", "First", "chart's first page", {}},
        {"BTPrevious", "Previous", "chart's previous page", {}},
        {"BtNext", "Next", "chart's next page", {}},
        {"BTlast", "last", "chart's last page", {}},
        {"TbFd", "Graphic Enlarge", "Enlarges the chart", {}},
        {"TbSx", "Graphic Restore", "Puts the chart back", {}},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.button);
        auto* button = rig.w->findChild<QToolButton*>(QString::fromLatin1(b.button));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->text().isEmpty() || button->toolButtonStyle() == Qt::ToolButtonIconOnly);
        const QStringList lines = button->toolTip().split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 2) << button->toolTip().toStdString();
        EXPECT_EQ(lines[0], b.hint);
        EXPECT_TRUE(lines[1].contains(b.doing)) << lines[1].toStdString();
        if (!b.key.isEmpty()) {
            EXPECT_TRUE(lines[1].endsWith(QStringLiteral("(%1)").arg(b.key))) << lines[1].toStdString();
        }
    }
}
