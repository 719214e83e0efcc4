#include "app/cards/card_commands.h"

#include "app/commands/command_table.h"
#include "ocr/cards/card_programs.h"
#include "settings/settings.h"

namespace ocr {

void AddCardProgramCommands(CommandTable& table, CVellumoSettings& settings, ExternalPrograms& programs,
                            const std::string& program_folder) {
    for (const auto& [id, program] : {std::pair{1085, 0}, std::pair{1092, 1}}) {
        table.Add(
            id, [&settings, program = program] { settings.m_nCardProgram = program; },
            [&settings, &programs, program_folder, program = program](CommandState& state) {
                const CardChoiceState choice = UpdateCardChoice(settings, programs, program_folder, program);
                state.enabled = choice.enabled;
                state.SetCheck(choice.checked);
            });
    }
}

}  // namespace ocr
