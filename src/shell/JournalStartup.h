#pragma once

#include <QPointer>
#include <memory>
#include <string>

#include "record/UserPrompts.h"

class QProgressDialog;
class QWidget;

namespace corvel {

// The window's side of a journal read back at start-up: a progress dialog
// over the window while a long log is read, and again while it comes back
// after the question, never while the question is open.
class RestoreProgress {
public:
    explicit RestoreProgress(QWidget* window);
    ~RestoreProgress();
    RestoreProgress(const RestoreProgress&) = delete;
    RestoreProgress& operator=(const RestoreProgress&) = delete;
    void operator()(int percent);
    // Takes the dialog away, timers and all: the next percent starts a new
    // one, which again waits its delay before it shows.
    void Close();

private:
    QWidget* window_;
    std::unique_ptr<QProgressDialog> dialog_;
};

// Answers the start-up restore question from the command line, for runs
// without anyone at the screen (the hidden option --restore-answer). The
// question and the messages that follow go to standard output.
class AnsweringPrompts final : public UserPrompts {
public:
    explicit AnsweringPrompts(Answer answer) : answer_(answer) {}
    void Message(Kind kind, const std::string& text) override;
    Answer Ask(Kind kind, const std::string& text) override;
    std::string SaveFileName(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::string OpenFileName(const std::string&, const std::string&) override { return {}; }

private:
    Answer answer_;
};

}  // namespace corvel
