#include "shell/JournalStartup.h"

#include <QProgressDialog>
#include <cstdio>

namespace corvel {

RestoreProgress::RestoreProgress(QWidget* window) : window_(window) {}
RestoreProgress::~RestoreProgress() = default;

void RestoreProgress::operator()(int percent) {
    if (!dialog_) {
        dialog_ = std::make_unique<QProgressDialog>(QStringLiteral("Reading back the log of the last run..."),
                                                    QString(), 0, 100, window_);
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(300);
        dialog_->setAutoClose(true);
    }
    dialog_->setValue(percent);
}

void RestoreProgress::Close() {
    dialog_.reset();
}

void AnsweringPrompts::Message(Kind, const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

UserPrompts::Answer AnsweringPrompts::Ask(Kind, const std::string& text) {
    std::printf("%s %s\n", text.c_str(), answer_ == Answer::Yes ? "Yes" : "No");
    std::fflush(stdout);
    return answer_;
}

}  // namespace corvel
