#include "scripted_ui.h"

#include <gtest/gtest.h>

namespace kitemail::test {
namespace {

// The next answer from the front of a queue; an empty one fails the test
// and gives the refusing answer.
template <typename T>
T Next(std::deque<T>& answers, T refusal, const char* what)
{
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected " << what;
        return refusal;
    }
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

} // namespace

void ScriptedUserInterface::SetStatusText(const std::string& text)
{
    statusTexts.push_back(text);
    events.push_back("status:" + text);
}

void ScriptedUserInterface::ShowMessage(const std::string& text)
{
    messages.push_back(text);
    events.push_back("message:" + text);
}

bool ScriptedUserInterface::Confirm(const std::string& text, const std::string& title)
{
    questions.push_back({text, title});
    events.push_back("confirm:" + text);
    return Next(confirmAnswers, false, "confirmation");
}

YesNoCancel ScriptedUserInterface::AskYesNoCancel(const std::string& text, const std::string& title)
{
    questions.push_back({text, title});
    events.push_back("ask:" + text);
    return Next(yesNoCancelAnswers, YesNoCancel::Cancel, "Yes/No/Cancel question");
}

void ScriptedUserInterface::Beep()
{
    ++beeps;
    events.emplace_back("beep");
}

std::optional<std::string> ScriptedUserInterface::PromptPassword(const std::string& prompt)
{
    events.push_back("password:" + prompt);
    return Next<std::optional<std::string>>(passwordAnswers, std::nullopt, "password prompt");
}

std::optional<std::string> ScriptedUserInterface::PromptLine(const std::string& /*caption*/,
                                                             const std::string& prompt, const std::string& initial)
{
    events.push_back("line:" + prompt + "|" + initial);
    return Next<std::optional<std::string>>(lineAnswers, std::nullopt, "input box");
}

void ScriptedUserInterface::Clear()
{
    events.clear();
    statusTexts.clear();
    messages.clear();
    questions.clear();
    beeps = 0;
}

} // namespace kitemail::test
