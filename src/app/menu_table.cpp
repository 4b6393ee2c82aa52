#include "app/menu_table.h"

#include <array>

#include "app/app_commands.h"
#include "assembly/assemble_commands.h"
#include "clipboard/clipboard_commands.h"
#include "editor/documents.h"

namespace kavrel::app {

namespace {
using K = MenuKind;
constexpr Guard guarded = Guard::ProgramOpen;

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
    MenuEntry{2, "AssembleToS19", "Assembler -> S19", K::Command, &assembly::AssembleToS19,
              guarded},
    MenuEntry{2, "AssembleToBOO", "Assembler -> .BOO", K::Command, &assembly::AssembleToBOO,
              guarded},
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
