#include "app/menu_table.h"

#include <array>

#include "app/app_commands.h"
#include "app/app_texts.h"
#include "assembly/assemble_commands.h"
#ifdef KAVREL_WITH_BOARD
#include "board/board_commands.h"
#include "board/board_texts.h"
#endif
#include "clipboard/clipboard_commands.h"
#include "editor/documents.h"
#include "simulation/chip_commands.h"
#include "simulation/examples.h"
#include "simulation/simulation_commands.h"
#include "simulation/simulation_window.h"
#include "editor/editeur.h"
#include "workspace/workspace.h"

namespace kavrel::app {

namespace {
using K = MenuKind;
constexpr Guard guarded = Guard::ProgramOpen;

// An assembly offers its new image to a window that simulates that source.
void assembleThenOffer(Workspace& workspace, void (*assemble)(Workspace&)) {
    assemble(workspace);
    if (Editeur* editor = workspace.activeEditor())
        simulation::offerReload(workspace, editor->caption());
}
void assembleToS19(Workspace& workspace) {
    assembleThenOffer(workspace, &assembly::AssembleToS19);
}
void assembleToBOO(Workspace& workspace) {
    assembleThenOffer(workspace, &assembly::AssembleToBOO);
}

// The run commands need a simulation window to act on.
ItemState simulationCommand(Workspace& workspace) {
    return {simulation::activeSimulation(workspace) != nullptr, false};
}
ItemState realTimeCommand(Workspace& workspace) {
    const auto* window = simulation::activeSimulation(workspace);
    return {window != nullptr, window && window->realTime()};
}
constexpr StateOf inSimulation = &simulationCommand;

// "Exécution" > "Exemples": one item per shipped example, by its title.
template <std::size_t Index>
constexpr MenuEntry exampleEntry() {
    static_assert(Index < simulation::kExamples.size());
    const simulation::Example& example = simulation::kExamples[Index];
    return MenuEntry{3, example.name, example.title, K::Command,
                     &simulation::OpenExampleAt<Index>};
}
static_assert(simulation::kExamples.size() == 8, "one menu item per example");

// Captions carry no access-key marker; no item has a shortcut.
constexpr std::array kMenu{
    MenuEntry{1, "File", "Fichier", K::Submenu},
    MenuEntry{2, "New", "Nouveau programme", K::Command, &editor::New},
    MenuEntry{2, "Open", "Ouvrir programme...", K::Command, &editor::Open},
    MenuEntry{2, "Open_General", "Ouvrir...", K::Command, &editor::Open_General},
    MenuEntry{2, "Record", "Enregistrer", K::Command, &editor::Record, guarded},
    MenuEntry{2, "Record_as", "Enregistrer sous...", K::Command, &editor::Record_as, guarded},
    MenuEntry{2, "Quit", "Quitter", K::Command, &app::Quit},
    MenuEntry{1, "Edit", "Edition", K::Submenu},
    MenuEntry{2, "Copy", "Copier", K::Command, &clipboard::Copy, guarded},
    MenuEntry{2, "Cut", "Couper", K::Command, &clipboard::Cut, guarded},
    MenuEntry{2, "Paste", "Coller", K::Command, &clipboard::Paste, guarded},
    MenuEntry{1, "assemblage", "Assemblage", K::Submenu},
    MenuEntry{2, "Mode_select", "Mode de lancement", K::Submenu},
    MenuEntry{3, "Batch_mode", "Mode Batch", K::CheckCommand, &app::Batch_mode},
    MenuEntry{3, "Normal_mode", "Mode normal", K::CheckCommand, &app::Normal_mode},
    MenuEntry{2, "AssembleToS19", "Assembler -> S19", K::Command, &assembleToS19, guarded},
    MenuEntry{2, "AssembleToBOO", "Assembler -> .BOO", K::Command, &assembleToBOO, guarded},
    MenuEntry{1, "Execution", "Exécution", K::Submenu},
    MenuEntry{2, "Simulate", "Simuler", K::Command, &simulation::Simulate, guarded},
    MenuEntry{2, "Examples", texts::kExamplesMenu, K::Submenu},
    exampleEntry<0>(),
    exampleEntry<1>(),
    exampleEntry<2>(),
    exampleEntry<3>(),
    exampleEntry<4>(),
    exampleEntry<5>(),
    exampleEntry<6>(),
    exampleEntry<7>(),
#ifdef KAVREL_WITH_BOARD
    MenuEntry{2, "LoadIntoBoard", board::kLoadCaption, K::Command,
              &board::LoadIntoBoard, guarded},
    MenuEntry{2, "LoadThroughMonitor", board::kMonitorLoadCaption, K::Command,
              &board::LoadThroughMonitor, guarded},
    MenuEntry{2, "DebugOnBoard", board::kDebugOnBoardCaption, K::Command,
              &simulation::DebugOnBoard, guarded},
    MenuEntry{2, "ProgramEeprom", board::kProgramEepromCaption, K::Command,
              &simulation::ProgramEeprom},
    MenuEntry{2, "ConfigureChip", board::kConfigureChipCaption, K::Command,
              &simulation::ConfigureChip},
    MenuEntry{2, "Serial_terminal", board::kTerminalCaption, K::Command, &board::SerialTerminal},
#endif
    MenuEntry{2, "Reset", "Réinitialiser", K::Command, &simulation::Reset, Guard::None,
              inSimulation},
    MenuEntry{2, "Step", "Pas à pas", K::Command, &simulation::Step, Guard::None,
              inSimulation},
    MenuEntry{2, "Step_over", "Pas par-dessus", K::Command, &simulation::StepOver, Guard::None,
              inSimulation},
    MenuEntry{2, "Step_out", "Sortir de la routine", K::Command, &simulation::StepOut,
              Guard::None, inSimulation},
    MenuEntry{2, "Run", "Exécuter", K::Command, &simulation::Run, Guard::None, inSimulation},
    MenuEntry{2, "Run_to_cursor", "Exécuter jusqu'au curseur", K::Command,
              &simulation::RunToCursor, Guard::None, inSimulation},
    MenuEntry{2, "Stop", "Arrêter", K::Command, &simulation::Stop, Guard::None, inSimulation},
    MenuEntry{2, "Real_time", "Temps réel", K::CheckCommand, &simulation::RealTime,
              Guard::None, &realTimeCommand},
    MenuEntry{1, "Window", "Fenêtre", K::WindowList},
    MenuEntry{1, "Help", "Aide", K::Submenu},
    MenuEntry{2, "Help_Kavrel", "Aide Kavrel", K::Command, &app::Help_Kavrel},
    MenuEntry{2, "Help_asmhc11", "Aide ASMHC11", K::Command, &app::Help_asmhc11},
};
} // namespace

std::span<const MenuEntry> menuTable() {
    return kMenu;
}

} // namespace kavrel::app
