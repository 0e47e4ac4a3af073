#pragma once

#include <QPixmap>
#include <QString>

namespace corvel {

// Makes the mirror's fonts "KORA-A2", "KORA-A3" and "Corvel7SegFont"
// available to QFont. A family the system already has is left alone, so an
// installed font of that name takes precedence over ours. Needs a
// QGuiApplication; calling it again does nothing more.
void RegisterAssetFonts();

// The picture ":/pictures/<name>.png" (an annunciator such as "READ", or a
// window picture such as "CONok"); a null pixmap for an unknown name.
// Needs a QGuiApplication.
QPixmap AssetPicture(const QString& name);

}  // namespace corvel
