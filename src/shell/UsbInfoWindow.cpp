#include "shell/UsbInfoWindow.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QVBoxLayout>

namespace corvel {

void ShowUsbInfoWindow(QWidget* owner, const std::string& text) {
    QDialog window(owner);
    window.setObjectName(QStringLiteral("UsbInfoWindow"));
    window.setWindowTitle(QStringLiteral("Info"));
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(QString::fromStdString(text), &window);
    label->setObjectName(QStringLiteral("UsbInfoText"));
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &window);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    layout->addWidget(buttons);
    window.exec();
}

}  // namespace corvel
