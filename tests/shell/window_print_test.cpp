// The print button: the report's preview opens over the window, HID frames
// are held back while it is open, serial frames are still decoded and
// logged, and everything is as before once it closes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include "chart/ReportPreview.h"
#include "decode/LcdPanel.h"
#include "record/ReadingLog.h"
#include "shell/WindowRig.h"

namespace corvel::test {
namespace {

// An Oak frame as the HID bridge delivers it: 30 30, the digits' bytes,
// CR LF in reports of eight, then an empty report that releases it.
void HidOak(TFCOMM& w, const FrameBuilder& f) {
    const auto digits = LowerDigitBytes(f.text(), 3);
    std::vector<std::uint8_t> frame = {0x30, 0x30};
    frame.insert(frame.end(), digits.begin() + 2, digits.end());
    frame.push_back(0x0D);
    frame.push_back(0x0A);
    for (std::size_t i = 0; i < frame.size(); i += 8) {
        std::vector<std::uint8_t> r{static_cast<std::uint8_t>(std::min<std::size_t>(8, frame.size() - i))};
        r.insert(r.end(), frame.begin() + static_cast<long>(i), frame.begin() + static_cast<long>(i + r[0]));
        w.HidDataToFrame(nullptr, 0, r.data(), static_cast<std::uint16_t>(r.size()));
    }
    const std::uint8_t empty = 0;
    w.HidDataToFrame(nullptr, 0, &empty, 1);
}

QString MainRow(TFCOMM& w) {
    QString s;
    for (Digit d : {Digit::LcdDa, Digit::LcdDb, Digit::LcdDc, Digit::LcdDd})
        s += w.lcdPanel()->DigitLabel(d)->text();
    return s;
}

TEST(WindowPrint, PreviewHoldsHidFramesBackWhileSerialFramesStillLog) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    rig.oak(FrameBuilder().main("1111").second("0001").bit(104));
    ASSERT_EQ(w.Log().RowCount(), 1);
    QToolButton* print = w.findChild<QToolButton*>(QStringLiteral("BtPrint"));
    ASSERT_TRUE(print);
    EXPECT_TRUE(print->isEnabled());
    EXPECT_EQ(print->toolTip().section(QLatin1Char('\n'), 0, 0), QStringLiteral("Print"));

    struct Seen {
        bool open = false;
        int pages = 0, snapshotRows = 0;
        int rowsAfterHid = -1, rowsAfterSerial = -1;
        QString mirrorAfterHid, mirrorAfterSerial;
    } seen;
    // Whatever happens, the preview closes in the end, so a failure cannot
    // hang the test run.
    QTimer::singleShot(10000, &w, [&w] {
        if (auto* p = w.findChild<ReportPreview*>()) p->reject();
    });
    QTimer::singleShot(0, &w, [&] {
        auto* preview = w.findChild<ReportPreview*>();
        if (!preview) return;
        seen.open = w.Core().Frames().PrintPreviewOpen() && preview->isVisible() &&
                    QApplication::activeModalWidget() == preview;
        seen.pages = preview->PageCount();
        HidOak(w, FrameBuilder().main("2222").second("0001").bit(104));
        seen.rowsAfterHid = w.Log().RowCount();
        seen.mirrorAfterHid = MainRow(w);
        rig.oak(FrameBuilder().main("3333").second("0001").bit(104));
        seen.rowsAfterSerial = w.Log().RowCount();
        seen.mirrorAfterSerial = MainRow(w);
        seen.snapshotRows = preview->Report().RowCount();
        preview->accept();
    });
    print->click();  // returns when the preview has closed

    EXPECT_TRUE(seen.open);
    EXPECT_EQ(seen.pages, 1);
    EXPECT_EQ(seen.rowsAfterHid, 1) << "a HID frame was decoded and logged under the preview";
    EXPECT_EQ(seen.mirrorAfterHid, QStringLiteral("1111"));
    EXPECT_EQ(seen.rowsAfterSerial, 2) << "a serial frame was not logged under the preview";
    EXPECT_EQ(seen.mirrorAfterSerial, QStringLiteral("3333"));
    EXPECT_EQ(seen.snapshotRows, 1);  // the rows of the moment it opened

    EXPECT_FALSE(w.Core().Frames().PrintPreviewOpen());
    EXPECT_EQ(w.findChild<ReportPreview*>(), nullptr);  // each press builds it anew
    HidOak(w, FrameBuilder().main("4444").second("0001").bit(104));
    EXPECT_EQ(w.Log().RowCount(), 3);
    EXPECT_EQ(MainRow(w), QStringLiteral("4444"));
}

}  // namespace
}  // namespace corvel::test
