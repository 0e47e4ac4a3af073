#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "record/UserPrompts.h"

namespace corvel::test {

// Answers the program's questions and dialogs from queues and keeps a
// record of everything it was shown. An empty answer queue answers No for
// questions and "cancel" (an empty path) for file dialogs.
class ScriptedPrompts : public UserPrompts {
public:
    struct Shown {
        enum class Type { Message, Question, SaveDialog, OpenDialog } type = Type::Message;
        Kind kind = Kind::Information;
        std::string text;  // message or question; dialog title for dialogs
        std::string filter;
        std::string defaultSuffix;
        bool ownerless = false;  // a message box that belongs to no window
        std::string fileName;    // the name an open dialog starts on
        bool operator==(const Shown&) const = default;
    };

    std::deque<Answer> answers;
    std::deque<std::string> fileNames;
    std::vector<Shown> shown;
    // Progress dialogs: the text of each one shown and every value set.
    std::vector<std::string> progressTexts;
    std::vector<int> progressValues;
    // Runs whenever a progress dialog is set, as if the event loop ran then.
    std::function<void()> onProgress;

    void Message(Kind kind, const std::string& text) override { Record(Shown::Type::Message, kind, text); }
    Answer Ask(Kind kind, const std::string& text) override {
        Record(Shown::Type::Question, kind, text);
        return Pop(answers, Answer::No);
    }
    std::string SaveFileName(const std::string& title, const std::string& filter,
                             const std::string& defaultSuffix) override {
        Record(Shown::Type::SaveDialog, Kind::Information, title, filter, defaultSuffix);
        return Pop(fileNames, std::string());
    }
    std::string OpenFileName(const std::string& title, const std::string& filter) override {
        Record(Shown::Type::OpenDialog, Kind::Information, title, filter);
        return Pop(fileNames, std::string());
    }

    void OwnerlessMessage(Kind kind, const std::string& text) override {
        Record(Shown::Type::Message, kind, text).ownerless = true;
    }
    std::string OpenFileNameAt(const std::string& title, const std::string& filter,
                               const std::string& fileName) override {
        Record(Shown::Type::OpenDialog, Kind::Information, title, filter).fileName = fileName;
        return Pop(fileNames, std::string());
    }
    std::unique_ptr<Progress> ShowProgress(const std::string& text, int) override {
        progressTexts.push_back(text);
        return std::make_unique<ScriptedProgress>(*this);
    }

    // The texts of the message boxes shown, in order.
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& s : shown)
            if (s.type == Shown::Type::Message) texts.push_back(s.text);
        return texts;
    }
    std::vector<std::string> Questions() const {
        std::vector<std::string> texts;
        for (const auto& s : shown)
            if (s.type == Shown::Type::Question) texts.push_back(s.text);
        return texts;
    }

private:
    Shown& Record(Shown::Type type, Kind kind, const std::string& text, const std::string& filter = {},
                  const std::string& defaultSuffix = {}) {
        Shown s;
        s.type = type;
        s.kind = kind;
        s.text = text;
        s.filter = filter;
        s.defaultSuffix = defaultSuffix;
        shown.push_back(s);
        return shown.back();
    }

    class ScriptedProgress final : public Progress {
    public:
        explicit ScriptedProgress(ScriptedPrompts& owner) : owner_(owner) {}
        void SetValue(int value) override {
            owner_.progressValues.push_back(value);
            if (owner_.onProgress) owner_.onProgress();
        }

    private:
        ScriptedPrompts& owner_;
    };

    template <typename T>
    static T Pop(std::deque<T>& queue, T fallback) {
        if (queue.empty()) return fallback;
        T front = std::move(queue.front());
        queue.pop_front();
        return front;
    }
};

}  // namespace corvel::test
