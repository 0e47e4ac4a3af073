// Says whether a screenshot shows a window rather than a blank screen: a
// blank one is a single colour (or nearly), a painted window has text,
// frames and a chart. Exits 0 when the picture looks painted.
#include <QHash>
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: picture_check PNG\n");
        return 2;
    }
    const QImage image = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        std::fprintf(stderr, "picture_check: %s is no picture\n", argv[1]);
        return 1;
    }
    QHash<QRgb, qint64> counts;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) ++counts[line[x]];
    }
    qint64 commonest = 0;
    for (const qint64 n : counts) commonest = std::max(commonest, n);
    const qint64 pixels = qint64(image.width()) * image.height();
    const double share = double(commonest) / double(pixels);
    std::printf("%dx%d, %lld colours, the commonest on %.1f %% of the picture\n", image.width(),
                image.height(), static_cast<long long>(counts.size()), share * 100.0);
    const bool painted = image.width() >= 320 && image.height() >= 240 && counts.size() >= 16 && share < 0.9;
    if (!painted) std::fprintf(stderr, "picture_check: %s looks blank\n", argv[1]);
    return painted ? 0 : 1;
}
