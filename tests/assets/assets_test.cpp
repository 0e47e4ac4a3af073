// The fonts and pictures the mirror relies on: present, complete, and sized
// so that every caption of the layout fits its label.
#include "Assets.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <string>
#include <string_view>

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "test_assets";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Never destroyed: tearing the application down during static
    // destruction, after the tests, only invites crashes at exit.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
    corvel::RegisterAssetFonts();
}

QFont Font(const char* family, int pixels, bool bold = false) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

TEST(AssetFonts, EachFamilyResolvesToItself) {
    EnsureApp();
    const int families = QFontDatabase::families().size();
    corvel::RegisterAssetFonts();  // a second call adds nothing
    EXPECT_EQ(QFontDatabase::families().size(), families);
    for (const char* family : {"KORA-A2", "KORA-A3", "Corvel7SegFont"}) {
        EXPECT_TRUE(QFontDatabase::families().contains(QLatin1String(family))) << family;
        EXPECT_EQ(QFontInfo(Font(family, 20)).family(), QLatin1String(family)) << family;
    }
}

TEST(AssetFonts, DigitCharactersShareOneAdvance) {
    EnsureApp();
    // Everything a digit label can show, and the blank: each stands in its own
    // fixed-width label, so a wider one would be clipped.
    const QFontMetrics metrics(Font("KORA-A3", 113));
    const int advance = metrics.horizontalAdvance(QLatin1Char('8'));
    for (char32_t c : std::u32string_view(U"0123456789@bsu ")) {
        EXPECT_TRUE(metrics.inFontUcs4(c)) << char(c);
        EXPECT_EQ(metrics.horizontalAdvance(QChar(c)), advance) << char(c);
    }
}

// Whether each of the seven segments of a KORA-A3 glyph is inked, as a
// pattern in the decoder's segment order a, b, c, f, g, e, d.
std::string LitSegments(QChar c) {
    const QFont font = Font("KORA-A3", 113);
    const QFontMetrics metrics(font);
    const QRect cell = metrics.boundingRect(QLatin1Char('8'));  // every segment lit
    QImage image(cell.size() + QSize(2, 2), QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(1 - cell.left(), 1 - cell.top(), QString(c));
    painter.end();
    // Segment centres as fractions of the digit's ink box.
    const struct {
        double x, y;
    } centres[] = {{0.5, 0.05}, {0.89, 0.27}, {0.89, 0.73}, {0.11, 0.27},
                   {0.5, 0.5},  {0.11, 0.73}, {0.5, 0.95}};
    std::string pattern;
    for (const auto& p : centres) {
        const int x = 1 + int(p.x * cell.width());
        const int y = 1 + int(p.y * cell.height());
        pattern += qGray(image.pixel(x, y)) < 128 ? '1' : '0';
    }
    return pattern;
}

TEST(AssetFonts, DigitGlyphsLightTheDecodersSegments) {
    EnsureApp();
    // The decoders turn these patterns into characters; the font has to draw
    // each character with exactly those segments, or the mirror misreads.
    const struct {
        char c;
        const char* pattern;
    } cases[] = {
        {'0', "1111011"}, {'1', "0110000"}, {'2', "1100111"}, {'3', "1110101"}, {'4', "0111100"},
        {'5', "1011101"}, {'6', "1011111"}, {'7', "1110000"}, {'8', "1111111"}, {'9', "1111101"},
        {'@', "0001011"}, {'b', "0011111"}, {'s', "1011101"}, {'u', "0111011"}, {' ', "0000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LitSegments(QLatin1Char(c.c)), c.pattern) << "'" << c.c << "'";
    }
}

TEST(AssetFonts, UnitTextsHaveGlyphs) {
    EnsureApp();
    const struct {
        const char* family;
        const char* text;
    } cases[] = {
        {"KORA-A2", "\"#?|m|s ft|min Km|h CMM CFM Knots MPH x1 X10 X100 MIN: MAX: 0123456789.,%"},
        {"KORA-A3", "AVE MAX PH MIN NO. USB ESC NOdata VEL FLOW KEY IN TEMP LOAD h:mm:s x1 -"},
        {"Corvel7SegFont", "^>#$%RH| 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ abcxyz"},
    };
    for (const auto& c : cases) {
        const QFontMetrics metrics(Font(c.family, 20));
        for (const QChar ch : QString::fromLatin1(c.text)) {
            EXPECT_TRUE(metrics.inFontUcs4(ch.unicode())) << c.family << " '" << ch.toLatin1() << "'";
        }
    }
}

TEST(AssetFonts, MirrorCaptionsFitTheirLabels) {
    EnsureApp();
    const struct {
        const char* family;
        const char* caption;
        int pixels;
        bool bold;
        int labelWidth;
    } cases[] = {
        {"KORA-A3", "8", 113, false, 43},      {"KORA-A3", "8", 93, false, 35},
        {"KORA-A3", "-", 100, false, 26},      {"KORA-A3", "AVE", 16, true, 31},
        {"KORA-A3", "MAX", 16, true, 38},      {"KORA-A3", "PH", 16, true, 25},
        {"KORA-A3", "MIN", 16, true, 32},      {"KORA-A3", "NO.", 16, true, 30},
        {"KORA-A3", "USB", 19, true, 43},      {"KORA-A3", "ESC", 20, true, 38},
        {"KORA-A3", "NOdata", 20, true, 75},   {"KORA-A3", "VEL", 20, true, 32},
        {"KORA-A3", "FLOW", 20, true, 59},     {"KORA-A3", "KEY  IN", 16, true, 59},
        {"KORA-A3", "TEMP", 16, true, 44},     {"KORA-A3", "LOAD NO", 16, true, 76},
        {"KORA-A3", "LOAD", 16, true, 45},     {"KORA-A3", "h:mm:s", 20, true, 73},
        {"KORA-A3", "CFM", 20, true, 46},      {"KORA-A3", "CMM", 20, true, 51},
        {"KORA-A3", "KNOTS", 20, true, 73},    {"KORA-A3", "MPH", 20, true, 47},
        {"KORA-A3", "x1", 20, true, 20},       {"KORA-A3", "0", 20, true, 9},
        {"KORA-A2", "\"", 35, false, 19},      {"KORA-A2", "#", 24, false, 18},
        {"KORA-A2", "?", 32, false, 23},       {"Corvel7SegFont", "^", 21, false, 32},
        {"Corvel7SegFont", ">", 27, true, 28},
    };
    for (const auto& c : cases) {
        const QFontMetrics metrics(Font(c.family, c.pixels, c.bold));
        const QString caption = QString::fromLatin1(c.caption);
        EXPECT_LE(metrics.horizontalAdvance(caption), c.labelWidth)
            << c.family << " \"" << c.caption << "\" at " << c.pixels;
        EXPECT_LE(metrics.boundingRect(caption).right(), c.labelWidth)
            << c.family << " \"" << c.caption << "\" at " << c.pixels;
    }
}

TEST(AssetPictures, EveryPictureLoadsAtItsSize) {
    EnsureApp();
    // Annunciators are stretched over their place on the mirror, so they come
    // at twice its size; the window pictures come at the size they are shown.
    const struct {
        const char* name;
        int width;
        int height;
    } cases[] = {
        {"V23", 98, 42},           {"READ", 98, 42},       {"rec", 66, 36},     {"power", 64, 58},
        {"frame", 50, 50},         {"t_p", 50, 66},        {"RH", 114, 30},     {"time_l", 98, 36},
        {"p_off", 66, 68},         {"ms", 98, 36},         {"ftmin", 146, 36},  {"kmh", 98, 36},
        {"CONok", 120, 90},        {"CONokN", 120, 90},    {"Image1", 25, 24},  {"Image2", 25, 24},
        {"KD1", 330, 300},         {"TbFd", 24, 24},       {"TbSx", 24, 24},    {"RecordNew", 22, 22},
        {"OpenDataFiles", 22, 22}, {"saveas", 22, 22},     {"BtPrint", 22, 22}, {"BtSave", 22, 22},
        {"BtFirst", 22, 22},       {"BTPrevious", 22, 22}, {"BtNext", 22, 22},  {"BTlast", 22, 22},
        {"USBCon", 22, 22},        {"COMCon", 22, 22},
    };
    for (const auto& c : cases) {
        const QPixmap picture = corvel::AssetPicture(QString::fromLatin1(c.name));
        ASSERT_FALSE(picture.isNull()) << c.name;
        EXPECT_EQ(picture.size(), QSize(c.width, c.height)) << c.name;
        EXPECT_TRUE(picture.hasAlphaChannel()) << c.name;
    }
    EXPECT_TRUE(corvel::AssetPicture(QStringLiteral("no-such-picture")).isNull());
}

}  // namespace
