// Test helpers: answer message boxes without showing them, and fix the language.
#pragma once

#include "platform/framework/MessageBox.h"
#include "platform/framework/Resources.h"

#include <string>
#include <vector>

namespace vexol::test {

// While alive, every message box is recorded and answered with `answer`.
class ScopedMessageBoxAnswers
{
public:
    explicit ScopedMessageBoxAnswers(int answer = IDOK) : m_answer(answer)
    {
        platform::framework::SetMessageBoxHandler(
            [this](const platform::framework::MessageBoxRequest& request) {
                requests.push_back(request);
                return m_answer;
            });
    }
    ~ScopedMessageBoxAnswers() { platform::framework::SetMessageBoxHandler({}); }
    ScopedMessageBoxAnswers(const ScopedMessageBoxAnswers&) = delete;
    ScopedMessageBoxAnswers& operator=(const ScopedMessageBoxAnswers&) = delete;

    void SetAnswer(int answer) { m_answer = answer; }
    // The first line of each box's text (the message code in the application's boxes).
    std::vector<std::string> FirstLines() const
    {
        std::vector<std::string> lines;
        for (const auto& request : requests) {
            lines.push_back(request.text.substr(0, request.text.find('\n')));
        }
        return lines;
    }

    std::vector<platform::framework::MessageBoxRequest> requests;

private:
    int m_answer;
};

// While alive, the user interface language is `language` whatever the locale says.
class ScopedLanguage
{
public:
    explicit ScopedLanguage(res::Language language) { res::SetLanguage(language); }
    ~ScopedLanguage() { res::ResetLanguage(); }
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;
};

} // namespace vexol::test
