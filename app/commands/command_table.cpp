#include "app/commands/command_table.h"

#include "platform/debuglog/debuglog.h"

bool CommandTable::Add(int id, Action action, Update update) {
    if (!commands_.emplace(id, Entry{std::move(action), std::move(update)}).second) {
        platform::DebugLog("commands", "command %d is added twice; the first stays", id);
        return false;
    }
    return true;
}

bool CommandTable::Has(int id) const { return commands_.count(id) != 0; }

bool CommandTable::Execute(int id) const {
    auto it = commands_.find(id);
    if (it == commands_.end() || !State(id).enabled) return false;
    if (it->second.action) it->second.action();
    return true;
}

CommandState CommandTable::State(int id) const {
    CommandState state;
    auto it = commands_.find(id);
    if (it == commands_.end()) {
        state.enabled = false;
        return state;
    }
    if (it->second.update) it->second.update(state);
    return state;
}

std::vector<int> CommandTable::Ids() const {
    std::vector<int> ids;
    for (const auto& entry : commands_) ids.push_back(entry.first);
    return ids;
}
