#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>

#include "decode/LcdPanel.h"
#include "shell/LimitPanel.h"
#include "shell/TFCOMM.h"
#include "support/CountingBeeper.h"
#include "support/FrameBuilder.h"
#include "support/ScriptedPrompts.h"

using namespace corvel;
using test::FrameBuilder;

namespace {

using test::CountingBeeper;
struct Window {
    test::ScriptedPrompts prompts;
    CountingBeeper beeper;
    TFCOMM w{WindowPlatform(prompts, beeper, ".", false)};
    void oak(const FrameBuilder& f) {
        const auto bytes = f.oakBytes();
        w.HOakRData(nullptr, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }
    // A full 32-position Oak frame comes by the HID bridge: 30 30, the
    // digits' bytes, CR LF, in reports of eight, then an empty report.
    void oakText(const std::string& text) {
        auto bytes = test::LowerDigitBytes(text, 3);
        std::vector<std::uint8_t> frame = {0x30, 0x30};
        for (std::size_t i = 2; i < bytes.size(); ++i) frame.push_back(bytes[i]);
        frame.push_back(0x0D);
        frame.push_back(0x0A);
        for (std::size_t i = 0; i < frame.size(); i += 8) {
            std::vector<std::uint8_t> r{
                static_cast<std::uint8_t>(std::min<std::size_t>(8, frame.size() - i))};
            r.insert(r.end(), frame.begin() + i, frame.begin() + i + r[0]);
            w.HidDataToFrame(nullptr, 0, r.data(), static_cast<std::uint16_t>(r.size()));
        }
        const std::uint8_t empty = 0;
        w.HidDataToFrame(nullptr, 0, &empty, 1);
    }
};

}  // namespace

TEST(WindowMirror, StartsAsTheLayoutHasIt) {
    Window win;
    EXPECT_EQ(win.w.clientArea()->size(), QSize(754, 557));
    EXPECT_EQ(win.w.windowTitle(), "Corvel Interface Program Ver:2.02(x86)");
    LcdPanel* p = win.w.lcdPanel();
    EXPECT_EQ(p->geometry(), QRect(3, 40, 398, 257));
    EXPECT_EQ(p->DigitLabel(Digit::LcdDa)->text(), "3");
    EXPECT_EQ(p->DigitLabel(Digit::LcdDd2)->text(), "9");
    EXPECT_EQ(p->Label4()->text(), "");  // cleared at start-up
    EXPECT_EQ(p->Label5()->text(), "");
    EXPECT_EQ(win.w.limitPanel()->geometry(), QRect(402, 41, 351, 116));
    EXPECT_EQ(win.w.PBar2()->value(), 30);
    EXPECT_EQ(win.w.limitPanel()->T1HI()->text(), "6000");
    EXPECT_EQ(win.w.limitPanel()->T1LO()->text(), "-6000");
    for (int i = 0; i < kAnnunciatorCount; ++i)
        EXPECT_TRUE(p->AnnunciatorWidget(static_cast<Annunciator>(i))->isHidden()) << i;
}

TEST(WindowMirror, ShowsWhatTheDecoderSays) {
    Window win;
    win.w.show();
    win.oakText(FrameBuilder().main("0123").bit(28).second("0456").bit(104).text());
    LcdPanel* p = win.w.lcdPanel();
    const char* expected[8] = {"0", "1", "2", "3", "0", "4", "5", "6"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(p->DigitLabel(static_cast<Digit>(i))->text(), expected[i]) << i;
    EXPECT_TRUE(p->PointShape(Point::LcdP2)->Shown());
    EXPECT_FALSE(p->PointShape(Point::LcdP1)->Shown());
    LimitPanel* lp = win.w.limitPanel();
    EXPECT_EQ(lp->T1VALUE()->text(), "01.23");
    EXPECT_EQ(lp->judgeLabel()->text(), "Pass");
    EXPECT_EQ(lp->Shape1()->Color(), QColor(0, 128, 0));
    EXPECT_EQ(lp->T1VALUE()->palette().color(QPalette::Base), QColor(0, 128, 0));
    EXPECT_TRUE(lp->Image1()->Shown());
    EXPECT_FALSE(lp->Image2()->Shown());
    EXPECT_EQ(win.w.PBar2()->value(), 1);
}

TEST(WindowMirror, AnnunciatorsAndSymbolsFollowTheirBits) {
    Window win;
    win.w.show();
    win.oakText(FrameBuilder().main("1234").second("0001").bit(73).bit(90).bit(94).bit(106).text());
    LcdPanel* p = win.w.lcdPanel();
    EXPECT_TRUE(p->AnnunciatorWidget(Annunciator::AVE)->isVisible());
    EXPECT_TRUE(p->AnnunciatorWidget(Annunciator::RH)->isVisible());
    EXPECT_TRUE(p->AnnunciatorWidget(Annunciator::ftmin)->isVisible());
    EXPECT_FALSE(p->AnnunciatorWidget(Annunciator::MAX)->isVisible());
    EXPECT_EQ(p->Label4()->text(), "^");
    EXPECT_EQ(win.w.Core().CurrentReading().UnitText, "ft|min");
    // The next frame hides them again.
    win.oakText(FrameBuilder().main("1234").second("0001").text());
    EXPECT_FALSE(p->AnnunciatorWidget(Annunciator::AVE)->isVisible());
    EXPECT_EQ(p->Label4()->text(), "");
}

TEST(WindowMirror, OverLoadFailsAndTheAlarmShowsItsPanel) {
    Window win;
    win.w.show();
    win.w.Core().Judge().SetMaxB = true;
    win.oak(FrameBuilder().main(" 0@ ").second("0001"));
    EXPECT_EQ(win.w.lcdPanel()->DigitLabel(Digit::LcdDc)->text(), "@");
    EXPECT_EQ(win.w.limitPanel()->judgeLabel()->text(), "Fail");
    EXPECT_EQ(win.w.limitPanel()->Shape1()->Color(), QColor(255, 0, 0));
    EXPECT_FALSE(win.w.oltext()->isHidden());
    EXPECT_EQ(win.beeper.beeps, 1);
    EXPECT_EQ(win.w.PBar2()->value(), 40);
    win.oak(FrameBuilder().main("0012").second("0001"));
    EXPECT_TRUE(win.w.oltext()->isHidden());
}

TEST(WindowMirror, SerialOakFrameLeavesTheUpperSecondRowToItsLastDigit) {
    Window win;
    win.w.show();
    win.oak(FrameBuilder().main("0123").bit(28).second("0456"));
    LcdPanel* p = win.w.lcdPanel();
    EXPECT_EQ(p->DigitLabel(Digit::LcdDd)->text(), "3");
    EXPECT_EQ(p->DigitLabel(Digit::LcdDd2)->text(), "6");
    EXPECT_EQ(p->DigitLabel(Digit::LcdDc2)->text(), "5");
    EXPECT_EQ(p->DigitLabel(Digit::LcdDb2)->text(), "");  // position 14 doubled: no digit
}

TEST(WindowLimits, TypingIntoTheLimitEdits) {
    Window win;
    win.w.show();
    win.w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win.w));
    QLineEdit* hi = win.w.limitPanel()->T1HI();
    hi->setFocus();
    hi->selectAll();
    QTest::keyClicks(hi, "5");
    EXPECT_EQ(hi->text(), "5");
    QTest::keyClicks(hi, "x");  // discarded by the key filter
    EXPECT_EQ(hi->text(), "5");
    QTest::keyClicks(hi, "-");  // passes the filter, refused by the change rule
    EXPECT_EQ(win.prompts.Messages(), std::vector<std::string>{"Numerical input errors"});
    EXPECT_EQ(hi->text(), "5");
    EXPECT_EQ(win.w.Core().Judge().HighText(), "5");

    // Emptying the low edit and leaving it puts back its last typed text.
    QLineEdit* lo = win.w.limitPanel()->T1LO();
    lo->setFocus();
    lo->selectAll();
    QTest::keyClicks(lo, "-2");
    lo->selectAll();
    QTest::keyClick(lo, Qt::Key_Backspace);
    EXPECT_EQ(lo->text(), "");
    hi->setFocus();
    EXPECT_EQ(lo->text(), "-2");
}
