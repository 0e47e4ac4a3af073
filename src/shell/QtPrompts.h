#pragma once

#include <QApplication>

#include "record/LimitJudge.h"
#include "record/UserPrompts.h"

class QWidget;

namespace corvel {

// Message boxes and file dialogs of the toolkit, owned by the window.
class QtPrompts : public UserPrompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void Message(Kind kind, const std::string& text) override;
    Answer Ask(Kind kind, const std::string& text) override;
    std::string SaveFileName(const std::string& title, const std::string& filter,
                             const std::string& defaultSuffix) override;
    std::string SaveFileNameBy(const std::string& title, const std::string& filter,
                               const std::string& defaultSuffix, int ownSuffixFrom) override;
    std::string OpenFileName(const std::string& title, const std::string& filter) override;
    void OwnerlessMessage(Kind kind, const std::string& text) override;
    std::string OpenFileNameAt(const std::string& title, const std::string& filter,
                               const std::string& fileName) override;
    std::unique_ptr<Progress> ShowProgress(const std::string& text, int maximum) override;

private:
    QWidget* parent_;
};

// The system's default beep.
class QtBeeper : public Beeper {
public:
    void Beep() override { QApplication::beep(); }
};

}  // namespace corvel
