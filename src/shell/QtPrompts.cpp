#include "shell/QtPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace corvel {

namespace {
QMessageBox::Icon iconFor(UserPrompts::Kind kind) {
    switch (kind) {
        case UserPrompts::Kind::Error: return QMessageBox::Critical;
        case UserPrompts::Kind::Warning: return QMessageBox::Warning;
        case UserPrompts::Kind::Information: break;
    }
    return QMessageBox::Information;
}

QString title(UserPrompts::Kind kind) {
    switch (kind) {
        case UserPrompts::Kind::Error: return QStringLiteral("Error");
        case UserPrompts::Kind::Warning: return QStringLiteral("Warning");
        case UserPrompts::Kind::Information: break;
    }
    return QStringLiteral("Information");
}
}  // namespace

void QtPrompts::Message(Kind kind, const std::string& text) {
    QMessageBox box(iconFor(kind), title(kind), QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.exec();
}

UserPrompts::Answer QtPrompts::Ask(Kind kind, const std::string& text) {
    QMessageBox box(iconFor(kind), title(kind), QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                    parent_);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::string QtPrompts::SaveFileName(const std::string& caption, const std::string& filter,
                                    const std::string& defaultSuffix) {
    QFileDialog dialog(parent_, QString::fromStdString(caption), QString(), QString::fromStdString(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

std::string QtPrompts::OpenFileName(const std::string& caption, const std::string& filter) {
    return QFileDialog::getOpenFileName(parent_, QString::fromStdString(caption), QString(),
                                        QString::fromStdString(filter))
        .toStdString();
}

}  // namespace corvel
