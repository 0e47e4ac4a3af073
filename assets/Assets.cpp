#include "Assets.h"

#include <QDebug>
#include <QFontDatabase>
#include <QStringList>

// The resources live in a static library: nothing else refers to their
// object file, so the linker would drop it together with its registration.
// Calling the initialiser from here pulls it in wherever the API is used.
// Q_INIT_RESOURCE has to stand outside any namespace.
static void InitAssetResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(corvel_assets);
        return true;
    }();
    (void)done;
}

namespace corvel {

void RegisterAssetFonts() {
    InitAssetResources();
    struct AssetFont {
        const char* family;
        const char* file;
    };
    static const AssetFont kFonts[] = {
        {"KORA-A2", ":/fonts/KORA-A2.ttf"},
        {"KORA-A3", ":/fonts/KORA-A3.ttf"},
        {"Corvel7SegFont", ":/fonts/Corvel7SegFont.ttf"},
    };
    const QStringList present = QFontDatabase::families();
    for (const AssetFont& font : kFonts) {
        if (present.contains(QLatin1String(font.family), Qt::CaseInsensitive)) {
            continue;
        }
        if (QFontDatabase::addApplicationFont(QLatin1String(font.file)) < 0) {
            qWarning() << "could not load the font" << font.file;
        }
    }
}

QPixmap AssetPicture(const QString& name) {
    InitAssetResources();
    return QPixmap(QStringLiteral(":/pictures/%1.png").arg(name));
}

}  // namespace corvel
