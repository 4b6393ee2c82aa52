#pragma once

#include <QString>

#include <array>
#include <cstddef>

namespace kavrel {
class Workspace;
}

// The example programs Kavrel ships ("Exécution" > "Exemples"): where they
// are installed, the user's copies, and each one's board. GUI thread only.
namespace kavrel::simulation {

struct Example {
    const char* name;  // the menu item's object name
    const char* file;  // in the installed "exemples" folder and in the user's copy
    const char* title; // the menu's caption, UTF-8
    const char* board; // the shipped board it runs on (lab::shippedBoard's key)
};

inline constexpr std::array<Example, 8> kExamples{{
    {"Example_clignotant", "clignotant.asm", "LED clignotante au rythme du timer", "monopuce"},
    {"Example_echo", "echo.asm", "Écho sur la liaison série", "chip"},
    {"Example_bonjour", "bonjour.asm", "« BONJOUR » sur l'afficheur LCD", "tp"},
    {"Example_clavier", "clavier.asm", "Touches du clavier sur l'afficheur LCD", "tp"},
    {"Example_compteur", "compteur.asm", "Compteur sur les afficheurs 7 segments", "monopuce"},
    {"Example_can_barre", "can_barre.asm", "Potentiomètre en barre de LED (convertisseur A/N)",
     "monopuce"},
    {"Example_tonalite", "tonalite.asm", "Note de 1 kHz sur le buzzer", "tp"},
    {"Example_eeprom", "eeprom.asm", "Écriture et relecture de l'EEPROM", "chip"},
}};

// The installed examples: the "exemples" folder beside the program.
QString installedExamplesFolder(const QString& programDir);
// The user's copies: <Documents>/Kavrel/Exemples.
QString userExamplesFolder();

// The example copied into the user's folder, unless a copy is already there:
// that one is opened as it is, never overwritten. Returns the copy's path
// (native separators); throws Failure when the example is missing or the
// copy cannot be made.
QString copyExample(const QString& programDir, const Example& example);

// "Exécution" > "Exemples" > an example: its copy opened in an editor, then
// simulated on the example's board.
void OpenExample(Workspace& workspace, std::size_t index);

template <std::size_t Index>
void OpenExampleAt(Workspace& workspace) {
    OpenExample(workspace, Index);
}

} // namespace kavrel::simulation
