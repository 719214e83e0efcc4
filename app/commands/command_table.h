#pragma once
// Commands by ID: what each does and how its button shows (enabled, checked, text). The toolkit shell asks
// the table when the user picks a command and refreshes the buttons from it when idle.
// Plain C++; GUI thread only.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool radio = false;               // the mark, when checked, is a radio dot rather than a tick
    std::optional<std::string> text;  // replaces the button's caption when set

    void SetCheck(bool on) {
        checked = on;
        radio = false;
    }
    void SetRadio(bool on) {
        checked = on;
        radio = true;
    }
};

class CommandTable {
  public:
    using Action = std::function<void()>;
    using Update = std::function<void(CommandState&)>;

    // Adds a command. Each command has one owner: a second Add of an ID is refused (and logged), the first
    // stays. Without an update rule the command is always enabled and unchecked.
    bool Add(int id, Action action, Update update = {});
    bool Has(int id) const;
    // Every command's ID, in increasing order.
    std::vector<int> Ids() const;

    // Runs the command when it exists and is enabled; false otherwise.
    bool Execute(int id) const;
    // The command's state now; a command that does not exist is disabled.
    CommandState State(int id) const;

  private:
    struct Entry {
        Action action;
        Update update;
    };
    std::map<int, Entry> commands_;
};
