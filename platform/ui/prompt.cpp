#include "platform/ui/prompt.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

namespace platform {
namespace {

struct PromptState {
    std::mutex mutex;
    std::deque<int> answers;
    bool unattended = false;
    PromptPresenter presenter;
    PromptPresenter toolkit;
};

PromptState& State() {
    static PromptState state;
    return state;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\r') continue;
        out += c;
    }
    return out + "\"";
}

}  // namespace

const char* PromptButtonsName(unsigned flags) {
    switch (flags & 0xF) {
        case MB_OKCANCEL:
            return "OKCancel";
        case MB_YESNO:
            return "YesNo";
        case MB_YESNOCANCEL:
            return "YesNoCancel";
        default:
            return "OK";
    }
}

const char* PromptIconName(unsigned flags) {
    switch (flags & 0xF0) {
        case MB_ICONHAND:
            return "stop";
        case MB_ICONQUESTION:
            return "question";
        case MB_ICONWARNING:
            return "warning";
        case MB_ICONINFORMATION:
            return "information";
        default:
            return "none";
    }
}

const char* PromptAnswerName(int answer) {
    switch (answer) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        default:
            return "?";
    }
}

int PromptAnswerFromName(const std::string& name) {
    for (int answer : {IDOK, IDCANCEL, IDYES, IDNO})
        if (name == PromptAnswerName(answer)) return answer;
    return 0;
}

int PromptDefaultAnswer(unsigned flags) {
    unsigned buttons = flags & 0xF;
    return (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
}

bool PromptAnswerFits(unsigned flags, int answer) {
    switch (flags & 0xF) {
        case MB_OKCANCEL:
            return answer == IDOK || answer == IDCANCEL;
        case MB_YESNO:
            return answer == IDYES || answer == IDNO;
        case MB_YESNOCANCEL:
            return answer == IDYES || answer == IDNO || answer == IDCANCEL;
        default:
            return answer == IDOK;
    }
}

std::string PromptLogLine(const Prompt& prompt, int answer, bool scripted) {
    return std::string("MESSAGEBOX caption=") + Quoted(prompt.caption) + " text=" + Quoted(prompt.text) +
           " buttons=" + PromptButtonsName(prompt.flags) + " icon=" + PromptIconName(prompt.flags) +
           " answer=" + PromptAnswerName(answer) + (scripted ? " (scripted)" : "");
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    Prompt prompt{text, caption, flags};
    PromptState& state = State();
    std::optional<int> scripted;
    PromptPresenter presenter;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (!state.answers.empty()) {
            scripted = state.answers.front();
            state.answers.pop_front();
            if (!PromptAnswerFits(flags, *scripted)) scripted = PromptDefaultAnswer(flags);
        } else if (state.unattended) {
            scripted = PromptDefaultAnswer(flags);
        }
        presenter = state.presenter ? state.presenter : state.toolkit;
    }
    // Without any presenter (a program without a toolkit) the box takes its default answer.
    int answer = scripted ? *scripted : (presenter ? presenter(prompt) : PromptDefaultAnswer(flags));
    std::string line = PromptLogLine(prompt, answer, scripted.has_value());
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    return answer;
}

void QueueScriptedAnswer(int answer) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().answers.push_back(answer);
}

void SetUnattended(bool unattended) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().unattended = unattended;
}

void SetPromptPresenter(PromptPresenter presenter) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().presenter = std::move(presenter);
}

void SetToolkitPresenter(PromptPresenter presenter) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().toolkit = std::move(presenter);
}

}  // namespace platform
