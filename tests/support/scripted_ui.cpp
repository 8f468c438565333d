#include "scripted_ui.h"

#include <gtest/gtest.h>

namespace kitemail::test {

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
    if (confirmAnswers.empty()) {
        ADD_FAILURE() << "unexpected confirmation";
        return false;
    }
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

YesNoCancel ScriptedUserInterface::AskYesNoCancel(const std::string& text, const std::string& title)
{
    questions.push_back({text, title});
    events.push_back("ask:" + text);
    if (yesNoCancelAnswers.empty()) {
        ADD_FAILURE() << "unexpected Yes/No/Cancel question";
        return YesNoCancel::Cancel;
    }
    const YesNoCancel answer = yesNoCancelAnswers.front();
    yesNoCancelAnswers.pop_front();
    return answer;
}

void ScriptedUserInterface::Beep()
{
    ++beeps;
    events.emplace_back("beep");
}

std::optional<std::string> ScriptedUserInterface::PromptPassword(const std::string& prompt)
{
    events.push_back("password:" + prompt);
    if (passwordAnswers.empty()) {
        ADD_FAILURE() << "unexpected password prompt";
        return std::nullopt;
    }
    std::optional<std::string> answer = passwordAnswers.front();
    passwordAnswers.pop_front();
    return answer;
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
