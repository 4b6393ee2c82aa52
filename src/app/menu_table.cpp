#include "app/menu_table.h"

#include <array>

namespace kavrel::app {

namespace {
using P = Principal;
using K = MenuKind;

// Captions carry no access-key marker; no item has a shortcut.
constexpr std::array kMenu{
    MenuEntry{1, "File", "Fichier", K::Submenu, nullptr},
    MenuEntry{2, "New", "Nouveau programme", K::Command, &P::New},
    MenuEntry{2, "Open", "Ouvrir programme...", K::Command, &P::Open},
    MenuEntry{2, "Open_General", "Ouvrir...", K::Command, &P::Open_General},
    MenuEntry{2, "Record", "Enregistrer", K::Command, &P::Record},
    MenuEntry{2, "Record_as", "Enregistrer sous...", K::Command, &P::Record_as},
    MenuEntry{2, "Quit", "Quitter", K::Command, &P::Quit},
    MenuEntry{1, "Edit", "Edition", K::Submenu, nullptr},
    MenuEntry{2, "Copy", "Copier", K::Command, &P::Copy},
    MenuEntry{2, "Cut", "Couper", K::Command, &P::Cut},
    MenuEntry{2, "Paste", "Coller", K::Command, &P::Paste},
    MenuEntry{1, "assemblage", "Assemblage", K::Submenu, nullptr},
    MenuEntry{2, "Mode_select", "Mode de lancement", K::Submenu, nullptr},
    MenuEntry{3, "Batch_mode", "Mode Batch", K::CheckCommand, &P::Batch_mode},
    MenuEntry{3, "Normal_mode", "Mode normal", K::CheckCommand, &P::Normal_mode},
    MenuEntry{2, "AssembleToS19", "Assembler -> S19", K::Command, &P::AssembleToS19},
    MenuEntry{2, "AssembleToBOO", "Assembler -> .BOO", K::Command, &P::AssembleToBOO},
    MenuEntry{1, "Window", "Fenêtre", K::WindowList, nullptr},
    MenuEntry{1, "Help", "Aide", K::Submenu, nullptr},
    MenuEntry{2, "Help_Kavrel", "Aide Kavrel", K::Command, &P::Help_Kavrel},
    MenuEntry{2, "Help_asmhc11", "Aide ASMHC11", K::Command, &P::Help_asmhc11},
};
} // namespace

std::span<const MenuEntry> menuTable() { return kMenu; }

} // namespace kavrel::app
