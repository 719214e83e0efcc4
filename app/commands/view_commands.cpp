#include "app/commands/view_commands.h"

#include <algorithm>
#include <memory>

#include "platform/debuglog/debuglog.h"
#include "settings/settings.h"

bool IsEnabled(EnableRule rule, const CVellumoSettings& s) {
    const bool present = s.m_bDevicePresent != 0;
    const bool busy = s.m_bCaptureBusy != 0;
    const bool not_recording = s.m_bNotRecording != 0;
    const bool ocr_engine = s.m_nOcrEngineCount > 0;
    const bool card_program = s.m_bCardExplorerFound != 0 || s.m_bCardProgramFound != 0;
    switch (rule) {
        case EnableRule::Always:
            return true;
        case EnableRule::Idle:
            return !busy;
        case EnableRule::Ready:
            return present && not_recording && !busy;
        case EnableRule::Live:
            return present && not_recording;
        case EnableRule::Ocr:
            return present && not_recording && !busy && ocr_engine;
        case EnableRule::Card:
            return present && not_recording && card_program && !busy;
        case EnableRule::Present:
            return present && !busy;
        case EnableRule::OcrPresent:
            return present && ocr_engine && !busy;
        case EnableRule::CardPresent:
            return card_program && present && !busy;
    }
    return false;
}

namespace {

constexpr int kFocusStep = 4;
constexpr int kFocusMax = 150;

// Calls a service when it is given.
template <typename Function, typename... Args>
void Call(const Function& function, Args... args) {
    if (function) function(args...);
}

using Services = std::shared_ptr<ViewCommandServices>;

class Builder {
  public:
    Builder(CommandTable& table, CVellumoSettings& settings, ViewCommandServices services)
        : table_(table),
          s_(settings),
          services_(std::make_shared<ViewCommandServices>(std::move(services))) {}

    // A command with an action, an enable rule and an optional mark (applied after the rule).
    void Add(int id, EnableRule rule, std::function<void()> action,
             std::function<void(CommandState&)> mark = {}) {
        CVellumoSettings& s = s_;
        table_.Add(id, std::move(action), [&s, rule, mark = std::move(mark)](CommandState& state) {
            state.enabled = IsEnabled(rule, s);
            if (mark) mark(state);
        });
    }
    // A command done elsewhere.
    void AddHandled(int id, EnableRule rule, std::function<void(CommandState&)> mark = {}) {
        Add(id, rule, Handler(id), std::move(mark));
    }
    // A button that only opens its menu.
    void AddMenu(int id, std::function<bool()> enabled) {
        table_.Add(id, {},
                   [enabled = std::move(enabled)](CommandState& state) { state.enabled = enabled(); });
    }

    std::function<void()> Handler(int id) {
        Services svc = services_;
        return [svc, id] {
            auto it = svc->handlers.find(id);
            if (it != svc->handlers.end() && it->second)
                it->second();
            else
                platform::DebugLog("commands", "command %d is not available in this build yet", id);
        };
    }

    // Calls a service when it is given.
    template <typename Member, typename... Args>
    void Call(Member member, Args... args) {
        auto& function = (*services_).*member;
        if (function) function(args...);
    }
    void Refresh() { Call(&ViewCommandServices::refresh); }

    CommandTable& table_;
    CVellumoSettings& s_;
    Services services_;
};

void AddOtherPartsCommands(Builder& b) {
    CVellumoSettings& s = b.s_;
    Services svc = b.services_;
    for (int id : {800, 844, 1043}) b.AddHandled(id, EnableRule::Ready);
    b.AddHandled(1030, EnableRule::Present, [&s, svc](CommandState& state) {
        if (svc->strings) state.text = svc->strings(s.m_bNotRecording ? 158 : 159);
    });
    b.AddHandled(1021, EnableRule::Ocr);
    b.AddHandled(1069, EnableRule::Card);
    b.AddHandled(818, EnableRule::Present);
    b.AddHandled(1086, EnableRule::CardPresent);
    b.AddHandled(1025, EnableRule::Always);
    b.Add(1022, EnableRule::Ready, [svc, &s] {
        s.m_bDirectionSwitch = s.m_bDirectionSwitch ? 0 : 1;
        Call(svc->apply_orientation_flip);  // once, whatever the new value
    });
    auto open_folder = [svc, &s] { Call(svc->open_folder, s.m_szSavePath); };
    b.Add(1122, EnableRule::Ready, open_folder);
    b.Add(1124, EnableRule::Ready, open_folder);
    b.Add(1123, EnableRule::Ocr, open_folder);

    auto ready = [&s] { return IsEnabled(EnableRule::Ready, s); };
    auto live = [&s] { return IsEnabled(EnableRule::Live, s); };
    auto ocr_present = [&s] { return IsEnabled(EnableRule::OcrPresent, s); };
    for (int id : {839, 1032, 1115, 1125}) b.AddMenu(id, ready);
    b.AddMenu(1034, [] { return true; });
    b.AddMenu(1039, live);
    b.AddMenu(1049, live);
    b.AddMenu(1005, ocr_present);
    b.AddMenu(1007, ocr_present);
    b.AddMenu(1017, [&s, ocr_present] { return ocr_present() && s.m_bContinuousCapture != 0; });
    b.AddMenu(1033, [&s, live] { return g_nImageFormat == 2 && live(); });
    b.AddMenu(1023, [&s] { return IsEnabled(EnableRule::Present, s); });
    b.AddMenu(1084, [&s] { return IsEnabled(EnableRule::CardPresent, s); });
}

// A group of commands that each set one number to the row's value and carry a check on the current one.
void AddChoice(Builder& b, std::initializer_list<std::pair<int, int>> rows, EnableRule rule,
               std::function<int()> current, std::function<void(int)> choose) {
    for (const auto& [id, value] : rows)
        b.Add(
            id, rule, [choose, value = value] { choose(value); },
            [current, value = value](CommandState& state) { state.SetCheck(current() == value); });
}

void AddSettingCommands(Builder& b) {
    CVellumoSettings& s = b.s_;
    Services svc = b.services_;
    AddChoice(
        b, {{806, 0}, {807, 1}, {808, 2}, {809, 3}, {1060, 4}}, EnableRule::Ready,
        [] { return g_nImageFormat.load(); },
        [svc, &s](int format) {
            g_nImageFormat = format;
            if (format == 2) s.m_bPdfOption = 1;
            if (format == 4) s.m_bPdfOption = 0;
            Call(svc->refresh);
        });
    b.Add(
        811, EnableRule::Present, [&s] { s.m_bPdfOption = 1; },
        [&s](CommandState& state) { state.SetCheck(s.m_bPdfOption != 0); });
    b.Add(
        812, EnableRule::Present, [&s] { s.m_bPdfOption = 0; },
        [&s](CommandState& state) { state.SetCheck(s.m_bPdfOption == 0); });
    AddChoice(
        b, {{833, 0}, {834, 1}, {835, 2}}, EnableRule::Ready, [&s] { return s.m_nSetSize; },
        [svc, &s](int index) {
            s.m_nSetSize = index;
            ResolutionSize(index, s.m_nCaptureWidth, s.m_nCaptureHeight);
            Call(svc->refresh);
        });
    AddChoice(
        b, {{831, 0}, {832, 1}, {845, 2}}, EnableRule::Ready, [&s] { return s.m_nFrequency; },
        [svc, &s](int mode) {
            s.m_nFrequency = mode;
            if (svc->control_open && svc->control_open()) Call(svc->apply_frequency_mode, mode);
        });

    b.Add(
        820, EnableRule::Ready,
        [svc, &s] {
            s.m_bAutoCrop = 0;
            s.m_bAutoDeskew = 0;
            Call(svc->refresh);
        },
        [&s](CommandState& state) { state.SetRadio(s.m_bAutoCrop == 0 && s.m_bAutoDeskew == 0); });
    b.Add(
        821, EnableRule::Ready,
        [svc, &s] {
            if (s.m_bAutoDeskew) {
                s.m_bAutoCrop = 1;
                s.m_bAutoDeskew = 0;
            } else {
                s.m_bAutoCrop = s.m_bAutoCrop ? 0 : 1;
            }
            Call(svc->refresh);
        },
        [&s](CommandState& state) { state.SetRadio(s.m_bAutoCrop != 0); });
    b.Add(
        822, EnableRule::Ready,
        [svc, &s] {
            s.m_bAutoDeskew = s.m_bAutoDeskew ? 0 : 1;
            s.m_bAutoCrop = s.m_bAutoDeskew;
            Call(svc->refresh);
        },
        [&s](CommandState& state) { state.SetRadio(s.m_bAutoDeskew != 0); });
    // Every setting a running capture reads waits for its end, as its other commands do.
    b.Add(
        842, EnableRule::Idle,
        [svc, &s] {
            s.m_bAutoDeskew = s.m_bAutoDeskew ? 0 : 1;
            Call(svc->refresh);
        },
        [&s](CommandState& state) { state.SetCheck(s.m_bAutoDeskew != 0); });

    auto refreshing = [svc](int& field) {
        return [svc, &field](int value) {
            field = value;
            Call(svc->refresh);
        };
    };
    AddChoice(
        b, {{1035, 0}, {1037, 1}, {1038, 2}, {1036, 3}}, EnableRule::Ready,
        [&s] { return s.m_nRotationFile; }, refreshing(s.m_nRotationFile));
    AddChoice(
        b, {{823, 0}, {824, 1}, {825, 2}, {826, 3}}, EnableRule::Ocr, [&s] { return s.m_nRotation; },
        refreshing(s.m_nRotation));

    auto toggle = [&b, svc](int id, EnableRule rule, uint8_t& flag) {
        b.Add(
            id, rule,
            [svc, &flag] {
                flag = flag ? 0 : 1;
                Call(svc->refresh);
            },
            [&flag](CommandState& state) { state.SetCheck(flag != 0); });
    };
    toggle(1031, EnableRule::Ready, s.m_bContinuousFile);
    toggle(1011, EnableRule::Ocr, s.m_bContinuousCapture);
    toggle(1074, EnableRule::Card, s.m_bCardContinuous);

    b.Add(
        827, EnableRule::Ready,
        [&s] {
            s.m_bStreamA = 1;
            s.m_bStreamB = s.m_bStreamB ? 0 : 1;
        },
        [&s](CommandState& state) { state.SetCheck(s.m_bStreamB != 0); });
    b.Add(
        828, EnableRule::Ready,
        [&s] {
            if (s.m_bStreamB) {
                s.m_bStreamA = 1;
                s.m_bStreamB = 0;
            }
        },
        [&s](CommandState& state) { state.SetCheck(s.m_bStreamA != 0); });

    auto plain = [](int& field) { return [&field](int value) { field = value; }; };
    AddChoice(
        b, {{1040, 0}, {1041, 1}}, EnableRule::Live, [&s] { return s.m_nVideoFormat; },
        plain(s.m_nVideoFormat));
    AddChoice(
        b, {{1117, 0}, {1118, 1}, {1119, 2}}, EnableRule::Ready, [&s] { return s.m_nOutputMode; },
        plain(s.m_nOutputMode));
    AddChoice(
        b, {{1126, 0}, {1127, 1}}, EnableRule::Ready, [&s] { return s.m_nScaleMode; }, plain(s.m_nScaleMode));
    AddChoice(
        b, {{813, 0}, {817, 1}, {814, 2}, {815, 3}, {816, 4}}, EnableRule::Idle,
        [&s] { return s.m_nOcrFormat; }, refreshing(s.m_nOcrFormat));

    // "All pages to one" of the current OCR format; the flags are kept in the order RTF Word, RTF PAD, PDF,
    // XLS, TXT, while the formats count RTF Word, RTF PAD, XLS, PDF, TXT.
    auto one_file_flag = [&s]() -> uint8_t* {
        static constexpr int kFlagOfFormat[5] = {0, 1, 3, 2, 4};
        if (s.m_nOcrFormat < 0 || s.m_nOcrFormat > 4) return nullptr;
        return &s.m_bOcrOnePerFormat[kFlagOfFormat[s.m_nOcrFormat]];
    };
    b.Add(
        1015, EnableRule::Idle,
        [one_file_flag] {
            if (uint8_t* flag = one_file_flag()) *flag = 1;
        },
        [one_file_flag](CommandState& state) {
            uint8_t* flag = one_file_flag();
            state.SetCheck(flag != nullptr && *flag != 0);
        });
    b.Add(
        1016, EnableRule::Idle,
        [one_file_flag] {
            if (uint8_t* flag = one_file_flag()) *flag = 0;
        },
        [one_file_flag](CommandState& state) {
            uint8_t* flag = one_file_flag();
            state.SetCheck(flag != nullptr && *flag == 0);
        });
    auto after_index = b.Handler(1013);
    b.Add(
        1013, EnableRule::Present,
        [&s, after_index] {
            s.m_nOcrEngineIndex = 0;
            after_index();
        },
        [&s](CommandState& state) {
            state.SetCheck(!(s.m_nOcrEngineIndex != 0 && s.m_nOcrEngineCount > 1));
        });
}

void AddExposureCommands(Builder& b) {
    CVellumoSettings& s = b.s_;
    Services svc = b.services_;
    auto mark = [&s](int index) {
        return [&s, index](CommandState& state) { state.SetCheck(s.m_nExposureIndex == index); };
    };
    b.Add(
        1050, EnableRule::Live,
        [svc, &s] {
            s.m_nExposureIndex = 0;
            Call(svc->set_iris_auto);
            Call(svc->set_backlight_compensation, 0L);
        },
        mark(0));
    b.Add(
        1051, EnableRule::Live,
        [svc, &s] {
            s.m_nExposureIndex = 1;
            Call(svc->set_iris_auto);
            Call(svc->set_backlight_compensation, 1L);
        },
        mark(1));
    b.Add(
        1052, EnableRule::Live,
        [svc, &s] {
            s.m_nExposureIndex = 2;
            Call(svc->set_iris_value, static_cast<long>(s.m_nExposurePhoto));
            Call(svc->set_backlight_compensation, 0L);
        },
        mark(2));
    auto dialog = b.Handler(1053);
    b.Add(
        1053, EnableRule::Live,
        [svc, &s, dialog] {
            s.m_nExposureIndex = 3;
            Call(svc->set_backlight_compensation, 0L);
            dialog();
        },
        mark(3));
}

void AddFocusCommands(Builder& b, EnableRule rule, int automatic, int manual, int nearer, int farther,
                      int once) {
    CVellumoSettings& s = b.s_;
    auto svc = b.services_;
    b.Add(
        automatic, rule,
        [svc, &s] {
            s.m_bAutoFocus = 1;
            Call(svc->set_focus_auto);
            Call(svc->refresh);
        },
        [&s](CommandState& state) { state.SetCheck(s.m_bAutoFocus != 0); });
    b.Add(
        manual, rule,
        [svc, &s] {
            s.m_bAutoFocus = 0;
            if (svc->get_focus_position) s.m_nFocus = static_cast<int>(svc->get_focus_position());
            Call(svc->set_focus_position, static_cast<long>(s.m_nFocus));
            Call(svc->refresh);
        },
        [&s](CommandState& state) { state.SetCheck(s.m_bAutoFocus == 0); });
    auto step = [svc, &s](int delta) {
        return [svc, &s, delta] {
            s.m_nFocus = std::clamp(s.m_nFocus + delta, 0, kFocusMax);
            Call(svc->set_focus_position, static_cast<long>(s.m_nFocus));
        };
    };
    b.table_.Add(nearer, step(-kFocusStep), [&s, rule](CommandState& state) {
        state.enabled = IsEnabled(rule, s) && s.m_bAutoFocus == 0 && s.m_nFocus > 0;
    });
    b.table_.Add(farther, step(kFocusStep), [&s, rule](CommandState& state) {
        state.enabled = IsEnabled(rule, s) && s.m_bAutoFocus == 0 && s.m_nFocus < kFocusMax;
    });
    b.Add(once, rule, [svc, &s] {
        long value = 0;
        long flags = 0;
        if (svc->read_focus && svc->read_focus(&value, &flags)) {
            if (flags == 2) Call(svc->set_focus_auto);
            if (svc->read_focus(&value, &flags)) s.m_bAutoFocus = flags != 2 ? 1 : 0;
        }
        Call(svc->write_register, 0xC4u, 1u, 0u);
        Call(svc->refresh);
    });
}

}  // namespace

void AddViewCommands(CommandTable& table, CVellumoSettings& settings, ViewCommandServices services) {
    Builder b(table, settings, std::move(services));
    AddOtherPartsCommands(b);
    AddSettingCommands(b);
    AddExposureCommands(b);
    AddFocusCommands(b, EnableRule::Ready, 1063, 1067, 1061, 1062, 1089);
    AddFocusCommands(b, EnableRule::Ocr, 1064, 1068, 1065, 1066, 1090);
    AddFocusCommands(b, EnableRule::Card, 1070, 1071, 1072, 1073, 1091);
}
