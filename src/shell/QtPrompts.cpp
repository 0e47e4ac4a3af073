#include "shell/QtPrompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>

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
    QMessageBox box(iconFor(kind), title(kind), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
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

std::string QtPrompts::SaveFileNameBy(const std::string& caption, const std::string& filter,
                                      const std::string& defaultSuffix, int ownSuffixFrom) {
    const QString filters = QString::fromStdString(filter);
    QFileDialog dialog(parent_, QString::fromStdString(caption), QString(), filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix));
    const QStringList list = filters.split(QStringLiteral(";;"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& chosen) {
        const int index = static_cast<int>(list.indexOf(chosen));
        QString suffix = QString::fromStdString(defaultSuffix);
        if (index >= ownSuffixFrom) {
            // "CSV (*.csv)": the extension of its one pattern.
            const int star = static_cast<int>(chosen.lastIndexOf(QStringLiteral("*.")));
            const int close = static_cast<int>(chosen.lastIndexOf(QLatin1Char(')')));
            if (star >= 0 && close > star) suffix = chosen.mid(star + 2, close - star - 2);
        }
        dialog.setDefaultSuffix(suffix);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

std::string QtPrompts::OpenFileName(const std::string& caption, const std::string& filter) {
    return QFileDialog::getOpenFileName(parent_, QString::fromStdString(caption), QString(),
                                        QString::fromStdString(filter))
        .toStdString();
}

void QtPrompts::OwnerlessMessage(Kind kind, const std::string& text) {
    QMessageBox box(iconFor(kind), title(kind), QString::fromStdString(text), QMessageBox::Ok, nullptr);
    box.exec();
}

std::string QtPrompts::OpenFileNameAt(const std::string& caption, const std::string& filter,
                                      const std::string& fileName) {
    QFileDialog dialog(parent_, QString::fromStdString(caption), QString(), QString::fromStdString(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!fileName.empty()) dialog.selectFile(QString::fromStdString(fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

namespace {
// A progress dialog without a cancel button over the window: the work it
// shows cannot be stopped half way without losing what it is for.
class DialogProgress final : public UserPrompts::Progress {
public:
    DialogProgress(QWidget* parent, const std::string& text, int maximum)
        : dialog_(QString::fromStdString(text), QString(), 0, maximum, parent) {
        dialog_.setWindowTitle(QStringLiteral("Information"));
        dialog_.setCancelButton(nullptr);
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(0);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setValue(0);
    }
    void SetValue(int value) override { dialog_.setValue(value); }

private:
    QProgressDialog dialog_;
};
}  // namespace

std::unique_ptr<UserPrompts::Progress> QtPrompts::ShowProgress(const std::string& text, int maximum) {
    return std::make_unique<DialogProgress>(parent_, text, maximum);
}

}  // namespace corvel
