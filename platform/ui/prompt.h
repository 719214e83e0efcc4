#pragma once
// The one way the program asks the user something: every message box goes through MessageBox here.
// A box is written to stderr as one line ("MESSAGEBOX caption=... text=... buttons=... icon=... answer=...")
// so scripted runs and tests can follow what was asked. Answers queued with QueueScriptedAnswer are taken
// first, without showing anything; in a scripted run a box with no queued answer takes its default
// button instead of waiting for a person.
//
// Thread use: MessageBox may be called from any thread; the box itself is shown on the GUI thread and
// the calling thread waits for the answer.

#include <functional>
#include <string>

namespace platform {

// Buttons and icons (the values message boxes have always used).
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONHAND = 0x10;
constexpr unsigned MB_ICONSTOP = MB_ICONHAND;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TASKMODAL = 0x2000;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

struct Prompt {
    std::string text;
    std::string caption;
    unsigned flags = MB_OK;
};

// Pure helpers, used by the log line and the scripted answers.
const char* PromptButtonsName(unsigned flags);      // "OK", "OKCancel", "YesNo", "YesNoCancel"
const char* PromptIconName(unsigned flags);         // "none", "stop", "question", "warning", "information"
const char* PromptAnswerName(int answer);           // "OK", "Cancel", "Yes", "No"
int PromptAnswerFromName(const std::string& name);  // 0 when unknown
int PromptDefaultAnswer(unsigned flags);            // the first button: OK or Yes
bool PromptAnswerFits(unsigned flags, int answer);  // the answer is one of the box's buttons
std::string PromptLogLine(const Prompt& prompt, int answer, bool scripted);

// Shows the box (or takes a scripted answer) and returns the answer.
int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

// Queues the answer for the next box. An answer that does not fit that box's buttons is replaced by its
// default answer, and the log line says so.
void QueueScriptedAnswer(int answer);
// From now on a box with no queued answer takes its default answer (scripted runs).
void SetUnattended(bool unattended);

// Replaces what shows a box to a person (tests); nullptr restores the toolkit's message box.
using PromptPresenter = std::function<int(const Prompt&)>;
void SetPromptPresenter(PromptPresenter presenter);
// The toolkit's own box (see toolkit_prompt.h); without one, a box takes its default answer.
void SetToolkitPresenter(PromptPresenter presenter);

}  // namespace platform
