#include "app/script/script.h"

#include <charconv>
#include <sstream>

#include "platform/ui/prompt.h"

namespace {

std::optional<int> Number(const std::string& text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

}  // namespace

ScriptParseResult ParseScript(const std::string& text) {
    ScriptParseResult result;
    std::istringstream lines(text);
    std::string line;
    int line_number = 0;
    while (std::getline(lines, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string verb;
        if (!(words >> verb) || verb[0] == '#') continue;
        std::string argument;
        std::getline(words >> std::ws, argument);
        ScriptStep step;
        bool ok = true;
        if (verb == "wait" || verb == "command") {
            auto number = Number(argument);
            ok = number.has_value();
            step.kind = verb == "wait" ? ScriptStep::Kind::Wait : ScriptStep::Kind::Command;
            step.number = number.value_or(0);
        } else if (verb == "answer") {
            step.kind = ScriptStep::Kind::Answer;
            step.number = platform::PromptAnswerFromName(argument);
            ok = step.number != 0;
        } else if (verb == "screenshot") {
            step.kind = ScriptStep::Kind::Screenshot;
            step.argument = argument;
            ok = !argument.empty();
        } else if (verb == "camera") {
            step.kind = ScriptStep::Kind::Camera;
            step.argument = argument;
            ok = argument == "unplug" || argument == "plug" || argument == "next";
        } else if (verb == "await") {
            std::istringstream parts(argument);
            std::string condition, bound, rest;
            parts >> condition >> bound >> rest;
            auto number = Number(bound);
            step.kind = ScriptStep::Kind::Await;
            step.argument = condition;
            step.number = number.value_or(0);
            const bool captured =
                condition.rfind("captured:", 0) == 0 && Number(condition.substr(9)).has_value();
            if (captured) step.control = *Number(condition.substr(9));
            ok = (condition == "live" || condition == "empty" || condition == "ready" ||
                  condition == "raised" || captured) &&
                 number.has_value() && rest.empty();
        } else if (verb == "press") {
            std::istringstream parts(argument);
            std::string control, bound, rest;
            parts >> control >> bound >> rest;
            auto id = Number(control);
            auto number = Number(bound);
            step.kind = ScriptStep::Kind::Press;
            step.control = id.value_or(0);
            step.number = number.value_or(0);
            ok = id.has_value() && number.has_value() && rest.empty();
        } else if (verb == "strip") {
            std::istringstream parts(argument);
            std::string action, page, bound, rest;
            parts >> action >> page >> bound >> rest;
            auto number = Number(page);
            auto wait = Number(bound);
            step.kind = ScriptStep::Kind::Strip;
            step.argument = action;
            step.control = number.value_or(0);
            step.number = wait.value_or(0);
            const bool drag = action.rfind("drag:", 0) == 0 && Number(action.substr(5)).value_or(0) > 0;
            ok = (action == "up" || action == "down" || action == "turn" || action == "delete" ||
                  action == "retake" || drag) &&
                 number.has_value() && wait.has_value() && rest.empty();
        } else if (verb == "area") {
            std::istringstream parts(argument);
            step.kind = ScriptStep::Kind::Area;
            std::string rest;
            for (int& corner : step.corners)
                ok = ok && static_cast<bool>(parts >> corner) && corner >= 0 && corner <= 100;
            ok = ok && !(parts >> rest) && step.corners[0] < step.corners[2] &&
                 step.corners[1] < step.corners[3];
        } else if (verb == "close") {
            step.kind = ScriptStep::Kind::Close;
            ok = argument.empty();
        } else {
            ok = false;
        }
        if (ok)
            result.steps.push_back(step);
        else
            result.errors.push_back("line " + std::to_string(line_number) + ": " + line);
    }
    return result;
}
