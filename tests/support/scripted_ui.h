#pragma once
// A UserInterface for tests: records what the engine shows and answers its
// questions from queues filled by the test. Texts are code page 932 bytes.

#include "platform/user_interface.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kitemail::test {

class ScriptedUserInterface : public UserInterface {
public:
    struct Question {
        std::string text;
        std::string title;
    };

    // Everything shown, in order: "status:<text>", "message:<text>",
    // "beep", "confirm:<text>", "ask:<text>", "password:<prompt>",
    // "line:<prompt>|<initial>".
    std::vector<std::string> events;
    std::vector<std::string> statusTexts;
    std::vector<std::string> messages;
    std::vector<Question> questions; // Confirm and AskYesNoCancel
    int beeps = 0;

    // Answers, taken from the front. An empty queue fails the test and
    // answers No / Cancel / nullopt.
    std::deque<bool> confirmAnswers;
    std::deque<YesNoCancel> yesNoCancelAnswers;
    std::deque<std::optional<std::string>> passwordAnswers;
    std::deque<std::optional<std::string>> lineAnswers;

    void SetStatusText(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    [[nodiscard]] bool Confirm(const std::string& text, const std::string& title) override;
    [[nodiscard]] YesNoCancel AskYesNoCancel(const std::string& text, const std::string& title) override;
    void Beep() override;
    [[nodiscard]] std::optional<std::string> PromptPassword(const std::string& prompt) override;
    [[nodiscard]] std::optional<std::string> PromptLine(const std::string& caption, const std::string& prompt,
                                                        const std::string& initial) override;

    void Clear();
};

} // namespace kitemail::test
