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

namespace {

std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers, const char* what)
{
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected " << what;
        return std::nullopt;
    }
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

std::optional<std::string> ScriptedUserInterface::PromptPassword(const std::string& prompt)
{
    events.push_back("password:" + prompt);
    return Next(passwordAnswers, "password prompt");
}

std::optional<std::string> ScriptedUserInterface::PromptLine(const std::string& /*caption*/,
                                                             const std::string& prompt, const std::string& initial)
{
    events.push_back("line:" + prompt + "|" + initial);
    return Next(lineAnswers, "input box");
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
