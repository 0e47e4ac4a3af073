#pragma once

#include <memory>
#include <string>

namespace corvel {

// Every modal question, message box and file dialog of the program goes
// through this, so that tests can answer them from a script. The window
// uses QtPrompts; tests use a ScriptedPrompts double.
class UserPrompts {
public:
    enum class Kind { Information, Error, Warning };
    enum class Answer { Yes, No, Ok, Cancel };

    virtual ~UserPrompts() = default;
    // A message with an OK button.
    virtual void Message(Kind kind, const std::string& text) = 0;
    // A question with Yes and No buttons.
    virtual Answer Ask(Kind kind, const std::string& text) = 0;
    // File dialogs: the chosen path, or empty when cancelled. The filter is
    // in the toolkit's notation ("Bitmap (*.bmp)").
    virtual std::string SaveFileName(const std::string& title, const std::string& filter,
                                     const std::string& defaultSuffix) = 0;
    virtual std::string OpenFileName(const std::string& title, const std::string& filter) = 0;

    // A save dialog whose filters from `ownSuffixFrom` on (counted from 0)
    // add their own extension to a name typed without one; the filters
    // before them add `defaultSuffix`.
    virtual std::string SaveFileNameBy(const std::string& title, const std::string& filter,
                                       const std::string& defaultSuffix, int /*ownSuffixFrom*/) {
        return SaveFileName(title, filter, defaultSuffix);
    }
    // A message box that belongs to no window: it stands on its own rather
    // than over the main window. Same captions and icons as Message.
    virtual void OwnerlessMessage(Kind kind, const std::string& text) { Message(kind, text); }
    // An open dialog that starts on a file name (the one chosen last).
    virtual std::string OpenFileNameAt(const std::string& title, const std::string& filter,
                                       const std::string& /*fileName*/) {
        return OpenFileName(title, filter);
    }
    // A dialog that shows how far a long piece of work has come, from 0 to
    // the maximum given; it goes away with the object.
    class Progress {
    public:
        virtual ~Progress() = default;
        virtual void SetValue(int value) = 0;
    };
    // Null when progress is not shown.
    virtual std::unique_ptr<Progress> ShowProgress(const std::string& /*text*/, int /*maximum*/) {
        return nullptr;
    }
};

}  // namespace corvel
