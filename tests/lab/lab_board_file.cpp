// Board files: the shipped boards, what a teacher's file gives, and every
// fault told in French with its line.
#include "lab/board_file.h"
#include "lab/shipped_boards.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

using lab::BoardDescription;
using lab::Pin;
using sim11::Port;

std::optional<BoardDescription> read(const std::string& text, std::string& error) {
    return lab::readBoardText(text, "/dossier", error);
}

TEST(BoardFile, EveryShippedBoardReads) {
    const std::vector<std::string> keys = lab::shippedBoardKeys();
    EXPECT_EQ(keys, (std::vector<std::string>{"chip", "evb", "monopuce", "tp"}));
    for (const std::string& key : keys) {
        std::string error;
        const std::optional<BoardDescription> board = lab::shippedBoard(key, error);
        ASSERT_TRUE(board) << key << " : " << error;
        EXPECT_FALSE(board->name.empty()) << key;
        EXPECT_FALSE(board->about.empty()) << key;
    }
    std::string error;
    EXPECT_FALSE(lab::shippedBoard("pcb", error));
    EXPECT_NE(error.find("carte inconnue « pcb »"), std::string::npos) << error;
}

TEST(BoardFile, ShippedBoardsAreWiredAsTheirProgramsExpect) {
    std::string error;
    const BoardDescription chip = *lab::shippedBoard("chip", error);
    EXPECT_FALSE(chip.chip || chip.mode || chip.oc5ToXirq);
    EXPECT_TRUE(chip.lcds.empty() && chip.memory.empty());

    // As --board evb always was: only OC5 to XIRQ, the chip and mode left free.
    const BoardDescription evb = *lab::shippedBoard("evb", error);
    EXPECT_TRUE(evb.oc5ToXirq);
    EXPECT_FALSE(evb.chip || evb.mode || evb.quartzHz);

    const BoardDescription tp = *lab::shippedBoard("tp", error);
    EXPECT_EQ(tp.name, "Carte de TP : LCD 2×16 et clavier 4×4");
    EXPECT_EQ(tp.chip, sim11::Chip::E9);
    EXPECT_EQ(tp.mode, sim11::Mode::Expanded);
    EXPECT_EQ(tp.quartzHz, 8e6);
    ASSERT_EQ(tp.lcds.size(), 1u);
    EXPECT_EQ(tp.lcds[0].address, 0xB5F0);
    EXPECT_EQ(tp.lcds[0].columns * 10 + tp.lcds[0].rows, 162);
    ASSERT_EQ(tp.keypads.size(), 1u);
    EXPECT_EQ(tp.keypads[0].columns, 4);
    EXPECT_EQ(tp.keypads[0].columnPins.front(), Pin::portPin(Port::D, 2));
    EXPECT_EQ(tp.keypads[0].rowPins.back(), Pin::portPin(Port::E, 3));
    ASSERT_EQ(tp.buzzers.size(), 1u);
    EXPECT_EQ(tp.buzzers[0].pin, Pin::portPin(Port::A, 5));
    EXPECT_EQ(tp.recorded.size(), 4u);
    ASSERT_EQ(tp.memory.size(), 1u);
    EXPECT_EQ(tp.memory[0].from, 0x2000);

    const BoardDescription mono = *lab::shippedBoard("monopuce", error);
    EXPECT_EQ(mono.mode, sim11::Mode::SingleChip);
    ASSERT_EQ(mono.lcds.size(), 1u);
    EXPECT_FALSE(mono.lcds[0].address);
    EXPECT_TRUE(mono.lcds[0].fourBit);
    EXPECT_EQ(mono.lcds[0].data, Port::C);
    EXPECT_EQ(mono.lcds[0].e, Pin::portPin(Port::C, 2));
    ASSERT_EQ(mono.displays.size(), 1u);
    EXPECT_EQ(mono.displays[0].selectPins.size(), 4u);
    EXPECT_FALSE(mono.displays[0].commonAnode);
    EXPECT_EQ(mono.buttons.size(), 3u);
    EXPECT_EQ(mono.buttons[2].pin.kind, Pin::Kind::Irq);
    EXPECT_EQ(mono.leds.size(), 2u);
    ASSERT_EQ(mono.pots.size(), 1u);
    EXPECT_EQ(mono.pots[0].channel, 0);
}

TEST(BoardFile, AFullFileGivesEveryPart) {
    const std::string text = R"(# Une carte complète
nom = "Ma carte"
description = "Pour essayer"
circuit = "e1"
mode = "étendu"
quartz = 9.8304
oc5_vers_xirq = true

[[memoire]]
type = "rom"
debut = "$E000"
fin = 0xFFFF
fichier = "moniteur.s19"

[[memoire]]
type = "RAM"
debut = 0x4000
fin = "$7fff"

[[lcd]]
colonnes = 20
lignes = 4
donnees = "PC"
rs = "PD2"
rw = "PD3"
e = "PD4"
retroeclairage = "aucun"

[[clavier]]
type = "4x3"
lignes = ["PE4", "PE5", "PE6", "PE7"]
colonnes = ["PA4", "PA5", "PA6"]
rebond_ms = 2.5

[[afficheurs]]
chiffres = 1
commun = "anode"
segments = ["PB"]

[[bouton]]
broche = "PA0"
actif = "haut"

[[bouton]]
broche = "XIRQ"

[[led]]
nom = "Témoin"
broche = "PA3"
actif = "bas"
couleur = "jaune"

[[potentiometre]]
entree = "PE1"
tension = 1

[[buzzer]]
broche = "PB0"

[chronogramme]
signaux = ["PB0", "IRQ"]
)";
    std::string error;
    const std::optional<BoardDescription> b = read(text, error);
    ASSERT_TRUE(b) << error;
    EXPECT_EQ(b->chip, sim11::Chip::E1);
    EXPECT_EQ(b->mode, sim11::Mode::Expanded);
    EXPECT_DOUBLE_EQ(*b->quartzHz, 9.8304e6);
    EXPECT_TRUE(b->oc5ToXirq);
    ASSERT_EQ(b->memory.size(), 2u);
    EXPECT_EQ(b->memory[0].kind, lab::MemoryRange::Kind::Rom);
    EXPECT_EQ(b->memory[0].file, "moniteur.s19");
    EXPECT_EQ(b->memory[0].line, 9);
    EXPECT_EQ(b->memory[1].to, 0x7FFF);
    EXPECT_EQ(b->folder, "/dossier");
    EXPECT_EQ(b->lcds[0].rows, 4);
    EXPECT_FALSE(b->lcds[0].fourBit);
    EXPECT_EQ(b->lcds[0].rw, Pin::portPin(Port::D, 3));
    EXPECT_EQ(b->lcds[0].backlight, "aucun");
    EXPECT_EQ(b->keypads[0].columns, 3);
    EXPECT_DOUBLE_EQ(b->keypads[0].bounceMs, 2.5);
    EXPECT_TRUE(b->displays[0].commonAnode);
    EXPECT_EQ(b->displays[0].segmentPorts.size(), 1u);
    EXPECT_FALSE(b->buttons[0].activeLow);
    EXPECT_EQ(b->buttons[1].pin.kind, Pin::Kind::Xirq);
    EXPECT_EQ(b->buttons[1].name, "Bouton 2");
    EXPECT_EQ(b->leds[0].name, "Témoin");
    EXPECT_FALSE(b->leds[0].activeHigh);
    EXPECT_EQ(b->leds[0].colour, "jaune");
    EXPECT_EQ(b->pots[0].channel, 1);
    EXPECT_DOUBLE_EQ(b->pots[0].volts, 1.0);
    EXPECT_EQ(b->recorded.size(), 2u);
}

TEST(BoardFile, EveryFaultIsToldWithItsLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        // syntax, told by toml++ and put in French where we know its words
        {"nom = \"a\"\nmode = \n", "ligne 2 : syntaxe TOML invalide (valeur attendue"},
        {"nom = \"a\ncircuit = \"E9\"\n", "ligne 1 : syntaxe TOML invalide"},
        {"nom = \"a\"\nnom = \"b\"\n", "ligne 2 : syntaxe TOML invalide (cette clé"},
        {"\n\nquartz = 08\n", "ligne 3 : syntaxe TOML invalide (un nombre ne commence pas par 0"},
        {"[[lcd]]\nadresse = B5F0\n", "ligne 2 : syntaxe TOML invalide"},
        // accented letters where toml++ looks for blanks, even after an escape
        {"nom = \"a\"\nmode = étendu\n", "ligne 2 : syntaxe TOML invalide"},
        {"nom = \"\"\"a\\é\"\"\"\n", "ligne 1 : syntaxe TOML invalide"},
        {"nom = \"a\" é\n", "ligne 1 : syntaxe TOML invalide"},
        {"\n[[led]]\nbroche = \"PÉ1\"\n", "ligne 3 : broche inconnue « PÉ1 »"},
        // unknown keys, with the nearest known one
        {"nom = \"a\"\n\n[[lcd]]\ncolone = 16\n",
         "ligne 4 : clé inconnue « colone » dans [[lcd]] (vouliez-vous dire « colonnes » ?)"},
        {"nom = \"a\"\ncouleur = 3\n", "ligne 2 : clé inconnue « couleur »"},
        {"[chronogramme]\nsignal = [\"PA0\"]\n", "ligne 2 : clé inconnue « signal »"},
        // types and values
        {"circuit = \"E2\"\n", "ligne 1 : « circuit » ne peut valoir « E2 » (A1, E1 ou E9)"},
        {"\nmode = \"single\"\n", "ligne 2 : « mode » ne peut valoir « single »"},
        {"quartz = \"8\"\n", "ligne 1 : « quartz » doit être un nombre"},
        {"quartz = 40\n", "ligne 1 : « quartz » hors des limites"},
        {"oc5_vers_xirq = 1\n", "ligne 1 : « oc5_vers_xirq » doit valoir true ou false"},
        {"nom = 3\n", "ligne 1 : « nom » doit être un texte"},
        {"lcd = 3\n", "ligne 1 : « lcd » doit être une table [[lcd]]"},
        {"[[lcd]]\nadresse = \"$B5F0\"\ncolonnes = \"16\"\n",
         "ligne 3 : « colonnes » doit être un nombre entier"},
        {"[[lcd]]\nadresse = \"$B5F0\"\ncolonnes = 16\nlignes = 3\n",
         "ligne 1 : un LCD de 16 colonnes sur 3 lignes n'existe pas"},
        {"[[lcd]]\nadresse = \"B5F0\"\n", "ligne 2 : « adresse » : adresse illisible « B5F0 »"},
        {"[[lcd]]\nadresse = 70000\n", "ligne 2 : « adresse » : l'adresse 70000"},
        {"[[lcd]]\nnom = \"L\"\n", "ligne 1 : il faut l'adresse du LCD"},
        {"[[lcd]]\nadresse = \"$B5F0\"\nrs = \"PD2\"\n", "pas les deux"},
        {"[[lcd]]\ndonnees = \"PC\"\nrs = \"PF3\"\ne = \"PD4\"\n",
         "ligne 3 : broche inconnue « PF3 »"},
        {"[[lcd]]\ndonnees = \"PC\"\nrs = \"PD6\"\ne = \"PD4\"\n",
         "ligne 3 : broche inconnue « PD6 » : le port D n'a que PD0 à PD5"},
        {"[[lcd]]\ndonnees = \"PC\"\nrs = \"PD2\"\n", "ligne 1 : il manque la clé « e »"},
        {"[[lcd]]\ndonnees = \"PE\"\nrs = \"PD2\"\ne = \"PD3\"\n",
         "ligne 2 : les données du LCD vont sur le port C"},
        {"[[lcd]]\ndonnees = \"PC\"\nbus = 4\nrs = \"PC4\"\ne = \"PC2\"\n",
         "ligne 4 : la broche PC4 sert deux fois dans « LCD »"},
        {"[[lcd]]\ndonnees = \"PC\"\nbus = 5\nrs = \"PC0\"\ne = \"PC2\"\n", "« bus » vaut 8 ou 4"},
        {"mode = \"monopuce\"\n[[lcd]]\nadresse = \"$B5F0\"\n",
         "ligne 3 : un LCD sur le bus demande le mode étendu"},
        // keypads and displays
        {"[[clavier]]\nlignes = [\"PE0\", \"PE1\", \"PE2\"]\ncolonnes = [\"PD2\", \"PD3\", "
         "\"PD4\", "
         "\"PD5\"]\n",
         "ligne 2 : il faut 4 broches dans « lignes » pour un clavier 4x4 (3 données)"},
        {"[[clavier]]\ntype = \"3x4\"\n", "ligne 2 : « type » ne peut valoir « 3x4 »"},
        {"[[clavier]]\nlignes = [\"PE0\", \"PE1\", \"PE2\", \"PE3\"]\ncolonnes = [\"PE4\", "
         "\"PD3\", \"PD4\", \"PD5\"]\n",
         "ligne 3 : PE4 est une entrée du circuit : « Clavier » ne peut rien y lire"},
        {"[[afficheurs]]\nchiffres = 9\nsegments = \"PB\"\n", "ligne 2 : « chiffres » vaut 9"},
        {"[[afficheurs]]\nchiffres = 4\nsegments = \"PB\"\nselection = [\"PD2\", \"PD3\"]\n",
         "ligne 4 : il faut une broche de sélection par chiffre (4 chiffres, 2 broches)"},
        {"[[afficheurs]]\nchiffres = 2\nsegments = \"PB\"\n",
         "ligne 1 : afficheurs multiplexés : il faut une broche de sélection"},
        {"[[afficheurs]]\nchiffres = 1\nsegments = \"PD\"\n",
         "ligne 3 : les segments vont sur le port B ou C"},
        // pins two parts fight over, pins the wrong way
        {"[[lcd]]\ndonnees = \"PC\"\nrs = \"PD2\"\nrw = \"PD3\"\ne = \"PD4\"\n[[afficheurs]]\n"
         "chiffres = 1\nsegments = \"PC\"\n",
         "ligne 8 : la broche PC0 est déjà prise par « LCD » (ligne 2)"},
        {"[[bouton]]\nbroche = \"PA0\"\n\n[[bouton]]\nbroche = \"PA0\"\n",
         "ligne 5 : la broche PA0 est déjà prise par « Bouton 1 » (ligne 2)"},
        {"[[clavier]]\nlignes = [\"PE0\", \"PE1\", \"PE2\", \"PE3\"]\ncolonnes = [\"PD2\", "
         "\"PD3\", \"PD4\", \"PD5\"]\n[[potentiometre]]\nentree = \"PE2\"\n",
         "ligne 5 : la broche PE2 est déjà prise par « Clavier » (ligne 2)"},
        {"[[bouton]]\nbroche = \"PB0\"\n",
         "ligne 2 : PB0 est une sortie du circuit : « Bouton 1 » ne peut pas la commander"},
        {"[[bouton]]\nbroche = \"IRQ\"\nactif = \"haut\"\n",
         "ligne 3 : IRQ est active à l'état bas"},
        {"[[led]]\nbroche = \"IRQ\"\n", "ligne 2 : une LED se branche sur une broche de port"},
        {"[[potentiometre]]\nentree = \"PA1\"\n",
         "ligne 2 : un potentiomètre se branche sur une entrée analogique"},
        {"[[potentiometre]]\nentree = \"PE1\"\ntension = 7\n", "ligne 3 : « tension » hors des"},
        {"[[buzzer]]\nbroche = \"PA0\"\n", "ligne 2 : PA0 est une entrée du circuit"},
        // memory
        {"mode = \"monopuce\"\n[[memoire]]\ntype = \"ram\"\ndebut = 0x2000\nfin = 0x3FFF\n",
         "ligne 2 : pas de mémoire externe en mode monopuce"},
        {"[[memoire]]\ntype = \"ram\"\ndebut = 0x0000\nfin = 0x7FFF\n",
         "ligne 1 : la mémoire $0000-$7FFF recouvre les registres du circuit ($1000-$103F)"},
        {"circuit = \"A1\"\n[[memoire]]\ntype = \"ram\"\ndebut = 0x0080\nfin = 0x0FFF\n",
         "ligne 2 : la mémoire $0080-$0FFF recouvre la RAM interne du circuit ($0000-$00FF)"},
        {"[[memoire]]\ntype = \"ram\"\ndebut = 0x2000\nfin = 0x7FFF\n[[memoire]]\ntype = "
         "\"rom\"\ndebut = 0x7000\nfin = 0x8FFF\n",
         "ligne 5 : la mémoire $7000-$8FFF recouvre la mémoire $2000-$7FFF de la ligne 1"},
        {"[[memoire]]\ntype = \"ram\"\ndebut = 0x2000\nfin = 0x7FFF\n[[lcd]]\nadresse = "
         "0x7FFF\n",
         "ligne 6 : le LCD $7FFF-$8000 recouvre la mémoire $2000-$7FFF de la ligne 1"},
        {"[[memoire]]\ntype = \"ram\"\ndebut = 0x8000\nfin = 0x7FFF\n",
         "ligne 4 : la fin $7FFF est avant le début $8000"},
        {"[[memoire]]\ntype = \"ram\"\ndebut = 0x8000\nfin = 0x8FFF\nfichier = \"a.s19\"\n",
         "ligne 5 : seule une ROM a un fichier"},
        {"[[memoire]]\ndebut = 0x8000\nfin = 0x8FFF\n", "ligne 1 : il manque la clé « type »"},
        // the timing view
        {"[chronogramme]\nsignaux = [\"PA0\", \"PA1\", \"PA2\", \"PA3\", \"PA4\", \"PA5\", "
         "\"PA6\", \"PA7\", \"PB0\"]\n",
         "ligne 2 : le chronogramme suit 8 signaux au plus (9 donnés)"},
        {"[chronogramme]\nsignaux = [\"PA0\", \"pa0\"]\n", "le signal PA0 est deux fois"},
        {"chronogramme = [1]\n", "ligne 1 : [chronogramme] doit être une table"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(read(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos)
            << c.text << "\n  attendu : " << c.message << "\n  reçu    : " << error;
    }
}

TEST(BoardFile, AWindows1252FileReadsAsItsAccentsSay) {
    std::string error;
    const auto board = read("nom = \"Carte d'\xE9t\xE9\"\nmode = \"\xE9tendu\"\n", error);
    ASSERT_TRUE(board) << error;
    EXPECT_EQ(board->name, "Carte d'été");
    EXPECT_EQ(board->mode, sim11::Mode::Expanded);
}

TEST(BoardFile, RandomBytesGiveABoardOrAMessage) {
    // The fuzz target does this at length; a short run here catches a crash early.
    std::mt19937 random(11);
    const std::string seed = lab::shippedBoardTexts()[2].text;
    for (int k = 0; k < 300; ++k) {
        std::string text = seed;
        for (int n = 0; n < 4; ++n)
            text[random() % text.size()] = static_cast<char>(random() % 256);
        std::string error;
        if (!read(text, error)) {
            EXPECT_EQ(error.rfind("ligne ", 0), 0u) << error;
        }
    }
}

TEST(BoardFile, AFolderListsItsBoardsWithTheirNamesOrTheirFaults) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("lab_boards_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir / "sous.toml");
    std::ofstream(dir / "b.toml") << "nom = \"Deuxième\"\n";
    std::ofstream(dir / "a.TOML") << "nom = \"Première\"\n";
    std::ofstream(dir / "sans_nom.toml") << "circuit = \"E9\"\n";
    std::ofstream(dir / "c.toml") << "nom = \"Cassée\"\n[[led]]\nbroche = \"PZ1\"\n";
    std::ofstream(dir / "notes.txt") << "rien\n";
    const std::vector<lab::BoardFileEntry> entries = lab::listBoardFiles(dir.string());
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "Première");
    EXPECT_EQ(entries[1].name, "Deuxième");
    EXPECT_TRUE(entries[1].error.empty());
    EXPECT_EQ(entries[2].name, "c");
    EXPECT_EQ(entries[2].error, "ligne 3 : broche inconnue « PZ1 » (PA0 à PA7, PB0 à PB7, PC0 à "
                                "PC7, PD0 à PD5, PE0 à PE7, IRQ, XIRQ)");
    EXPECT_EQ(entries[3].name, "sans_nom");
    std::string error;
    EXPECT_FALSE(lab::readBoardFile((dir / "absent.toml").string(), error));
    EXPECT_EQ(error, "fichier illisible");
    EXPECT_TRUE(lab::listBoardFiles((dir / "absent").string()).empty());
    fs::remove_all(dir);
}

} // namespace
