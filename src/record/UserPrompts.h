#pragma once

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
};

}  // namespace corvel
