#pragma once

#include <deque>
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
        enum class Type { Message, Question, SaveDialog, OpenDialog } type;
        Kind kind = Kind::Information;
        std::string text;  // message or question; dialog title for dialogs
        std::string filter;
        std::string defaultSuffix;
        bool operator==(const Shown&) const = default;
    };

    std::deque<Answer> answers;
    std::deque<std::string> fileNames;
    std::vector<Shown> shown;

    void Message(Kind kind, const std::string& text) override {
        shown.push_back({Shown::Type::Message, kind, text, {}, {}});
    }
    Answer Ask(Kind kind, const std::string& text) override {
        shown.push_back({Shown::Type::Question, kind, text, {}, {}});
        return Pop(answers, Answer::No);
    }
    std::string SaveFileName(const std::string& title, const std::string& filter,
                             const std::string& defaultSuffix) override {
        shown.push_back({Shown::Type::SaveDialog, Kind::Information, title, filter, defaultSuffix});
        return Pop(fileNames, std::string());
    }
    std::string OpenFileName(const std::string& title, const std::string& filter) override {
        shown.push_back({Shown::Type::OpenDialog, Kind::Information, title, filter, {}});
        return Pop(fileNames, std::string());
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
    template <typename T>
    static T Pop(std::deque<T>& queue, T fallback) {
        if (queue.empty()) return fallback;
        T front = std::move(queue.front());
        queue.pop_front();
        return front;
    }
};

}  // namespace corvel::test
