#include <QAccessible>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

#include "app/app_texts.h"
#include "app/menu_table.h"
#include "fakes/ui_fixture.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace kavrel;
using namespace kavrel::test;

namespace {

struct Item {
    int level;
    const char* name;
    const char* caption;
};

// The items of the seed and of the simulation as the user sees them, in
// display order: what the menu table must hold.
const Item kTree[] = {
    {1, "File", "Fichier"},
    {2, "New", "Nouveau programme"},
    {2, "Open", "Ouvrir programme..."},
    {2, "Open_General", "Ouvrir..."},
    {2, "Record", "Enregistrer"},
    {2, "Record_as", "Enregistrer sous..."},
    {2, "Quit", "Quitter"},
    {1, "Edit", "Edition"},
    {2, "Copy", "Copier"},
    {2, "Cut", "Couper"},
    {2, "Paste", "Coller"},
    {1, "assemblage", "Assemblage"},
    {2, "Mode_select", "Mode de lancement"},
    {3, "Batch_mode", "Mode Batch"},
    {3, "Normal_mode", "Mode normal"},
    {2, "AssembleToS19", "Assembler -> S19"},
    {2, "AssembleToBOO", "Assembler -> .BOO"},
    {1, "Execution", "Exécution"},
    {2, "Simulate", "Simuler"},
    {2, "Examples", "Exemples"},
    {3, "Example_clignotant", "LED clignotante au rythme du timer"},
    {3, "Example_echo", "Écho sur la liaison série"},
    {3, "Example_bonjour", "« BONJOUR » sur l'afficheur LCD"},
    {3, "Example_clavier", "Touches du clavier sur l'afficheur LCD"},
    {3, "Example_compteur", "Compteur sur les afficheurs 7 segments"},
    {3, "Example_can_barre", "Potentiomètre en barre de LED (convertisseur A/N)"},
    {3, "Example_tonalite", "Note de 1 kHz sur le buzzer"},
    {3, "Example_eeprom", "Écriture et relecture de l'EEPROM"},
#ifdef KAVREL_WITH_BOARD
    {2, "LoadIntoBoard", "Charger dans la carte (.BOO)..."},
    {2, "LoadThroughMonitor", "Charger par le moniteur (S19)..."},
    {2, "DebugOnBoard", "Déboguer sur la carte..."},
    {2, "ProgramEeprom", "Programmer l'EEPROM..."},
    {2, "ConfigureChip", "Configurer le circuit (CONFIG)..."},
    {2, "Serial_terminal", "Terminal série"},
#endif
    {2, "Reset", "Réinitialiser"},
    {2, "Step", "Pas à pas"},
    {2, "Step_over", "Pas par-dessus"},
    {2, "Step_out", "Sortir de la routine"},
    {2, "Run", "Exécuter"},
    {2, "Run_to_cursor", "Exécuter jusqu'au curseur"},
    {2, "Stop", "Arrêter"},
    {2, "Real_time", "Temps réel"},
    {1, "Window", "Fenêtre"},
    {1, "Help", "Aide"},
    {2, "Help_Kavrel", "Aide Kavrel"},
    {2, "Help_asmhc11", "Aide ASMHC11"},
};

// Walks the real menus depth first, as they are displayed.
void collect(const QList<QAction*>& actions, int level,
             std::vector<std::pair<int, QAction*>>& out) {
    for (QAction* action : actions) {
        out.emplace_back(level, action);
        if (action->menu() && action->objectName() != QLatin1String("Window"))
            collect(action->menu()->actions(), level + 1, out);
    }
}

class MainWindow : public UiTest {};

TEST(MenuTable, HoldsTheItemsOfTheSeedInOrder) {
    const auto table = app::menuTable();
    ASSERT_EQ(table.size(), std::size(kTree));
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(kTree[i].name);
        EXPECT_EQ(table[i].level, kTree[i].level);
        EXPECT_STREQ(table[i].name, kTree[i].name);
        EXPECT_STREQ(table[i].caption, kTree[i].caption);
    }
}

// The menus built are the table, row by row.
TEST_F(MainWindow, MenuTreeMatchesTheMenuTable) {
    std::vector<std::pair<int, QAction*>> items;
    collect(principal->menuBar()->actions(), 1, items);
    const auto table = app::menuTable();
    ASSERT_EQ(items.size(), table.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const app::MenuEntry& row = table[i];
        SCOPED_TRACE(row.name);
        auto [level, action] = items[i];
        EXPECT_EQ(level, row.level);
        EXPECT_EQ(action->objectName(), QLatin1String(row.name));
        EXPECT_EQ(action->text(), QString::fromUtf8(row.caption));
        EXPECT_FALSE(action->text().contains(QLatin1Char('&')));
        EXPECT_TRUE(action->shortcut().isEmpty());
        EXPECT_FALSE(action->isSeparator());
        // The simulation's run commands wait for a simulation window.
        EXPECT_EQ(action->isEnabled(), row.state == nullptr);
        EXPECT_TRUE(action->isVisible());
        EXPECT_EQ(action->isCheckable(), row.kind == app::MenuKind::CheckCommand);
        EXPECT_EQ(action->menu() != nullptr,
                  row.kind == app::MenuKind::Submenu || row.kind == app::MenuKind::WindowList);
        EXPECT_EQ(row.command != nullptr,
                  row.kind == app::MenuKind::Command || row.kind == app::MenuKind::CheckCommand);
    }
    // Only the two launch modes and the simulation's real time carry a check mark.
    for (const app::MenuEntry& row : table)
        EXPECT_EQ(row.kind == app::MenuKind::CheckCommand,
                  std::string_view(row.name).ends_with("_mode") ||
                      std::string_view(row.name) == "Real_time")
            << row.name;
}

TEST_F(MainWindow, StartsAsDefined) {
    EXPECT_EQ(principal->windowTitle(),
              QString::fromUtf8("Kavrel : Panneau de commande pour assembleur MOTOROLA ASMHC11"));
    EXPECT_EQ(principal->openWindowCount(), 1);
    EXPECT_EQ(principal->activeEditor(), nullptr);
    EXPECT_FALSE(action("Batch_mode")->isChecked());
    EXPECT_TRUE(action("Normal_mode")->isChecked());
    EXPECT_FALSE(principal->batchMode());

    // The client area below the menu bar: 468 x 338 pixels.
    EXPECT_EQ(principal->width(), 468);
    EXPECT_EQ(principal->height() - principal->menuBar()->height(), 338);

    const QString start = principal->posXY();
    EXPECT_EQ(start, QString::fromUtf8("Ligne :    Colonne : "));
    EXPECT_EQ(start.size(), 21);
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(MainWindow, StatusBarHasItsFivePanels) {
    QStatusBar* status = principal->statusBar();
    EXPECT_EQ(status->objectName(), QLatin1String("Status"));
    const QList<QLabel*> panels =
        status->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(panels.size(), 5);
    const char* keys[] = {"Info", "Date", "Num", "Maj", "Pos_XY"};
    const int widths[] = {200, 67, 33, 33, 133};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(panels[i]->objectName(), QLatin1String(keys[i]));
        // Info gives way when the window is too narrow for all five.
        if (i == 0)
            EXPECT_LE(panels[i]->width(), widths[i]);
        else
            EXPECT_EQ(panels[i]->width(), widths[i]) << keys[i];
    }
    // Left to right as listed, side by side.
    for (int i = 1; i < 5; ++i)
        EXPECT_LE(panels[i - 1]->geometry().right(), panels[i]->x()) << keys[i];
    principal->resize(900, principal->height());
    QTRY_COMPARE(panels[0]->width(), 200);
    EXPECT_TRUE(panels[0]->text().isEmpty());
    EXPECT_EQ(panels[1]->text(),
              QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    EXPECT_EQ(panels[2]->text(), QLatin1String("Num"));
    EXPECT_EQ(panels[3]->text(), QLatin1String("Maj"));
    // Without an X display the lock state is unknown: both shown dimmed.
    EXPECT_FALSE(panels[2]->isEnabled());
    EXPECT_FALSE(panels[3]->isEnabled());
}

// A screen reader reads what each panel shows, kept current, and hears the
// state of the two locks that the panels show only by their shade.
TEST_F(MainWindow, PanelsReadAsTheyShow) {
    const auto spoken = [this](const char* key) {
        QLabel* panel = principal->statusBar()->findChild<QLabel*>(QLatin1String(key));
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(panel);
        return reader ? reader->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    EXPECT_EQ(spoken("Pos_XY"), app::texts::kPosStart);
    EXPECT_EQ(spoken("Date"),
              QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    EXPECT_EQ(spoken("Info"), QString());
    trigger("New");
    type(QStringLiteral("ab"));
    EXPECT_EQ(spoken("Pos_XY"), QStringLiteral("Ligne : 1 Colonne : 2"));
#ifdef _WIN32
    // Windows reads the locks whatever the platform plugin.
    const auto lock = [](const char* name, int key) {
        return QLatin1String(name) + ((GetKeyState(key) & 1) ? QStringLiteral(" : verrouillage activé")
                                                           : QStringLiteral(" : verrouillage désactivé"));
    };
    EXPECT_EQ(spoken("Num"), lock("Num", VK_NUMLOCK));
    EXPECT_EQ(spoken("Maj"), lock("Maj", VK_CAPITAL));
#else
    // Offscreen there is no keyboard state to read.
    EXPECT_EQ(spoken("Num"), QStringLiteral("Num : état du verrouillage inconnu"));
    EXPECT_EQ(spoken("Maj"), QStringLiteral("Maj : état du verrouillage inconnu"));
#endif
}

TEST_F(MainWindow, InfoPanelStaysEmptyThroughUse) {
    trigger("New");
    type(QStringLiteral("abc"));
    trigger("Copy");
    active()->close();
    EXPECT_TRUE(
        principal->statusBar()->findChild<QLabel*>(QStringLiteral("Info"))->text().isEmpty());
}

TEST_F(MainWindow, GuardedCommandsShowTheNoProgramBoxAndNothingElse) {
    const char* guarded[] = {"Copy",      "Cut",           "Paste",        "Record",
                             "Record_as", "AssembleToS19", "AssembleToBOO"};
    for (const char* name : guarded) {
        SCOPED_TRACE(name);
        boxes->shown.clear();
        trigger(name);
        ASSERT_EQ(boxes->shown.size(), 1u);
        const ShownBox& box = boxes->shown.front();
        EXPECT_EQ(box.title, QLatin1String("Message :"));
        EXPECT_EQ(box.text,
                  QString::fromUtf8("Aucun programme n'est ouvert.\r\nOpération annulée..."));
        EXPECT_EQ(box.icon, app::BoxIcon::Warning);
        EXPECT_EQ(box.buttons, app::BoxButtons::Ok);
        EXPECT_TRUE(dialogs->calls.empty());
        EXPECT_EQ(principal->openWindowCount(), 1);
        EXPECT_EQ(principal->posXY(), app::texts::kPosStart);
    }
}

TEST_F(MainWindow, UnguardedCommandsRunWithoutTheBox) {
    for (const char* name : {"New", "Batch_mode", "Normal_mode"}) {
        trigger(name);
    }
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(MainWindow, NewNumbersByOpenWindowCountInTheHomeFolder) {
#ifdef _WIN32
    // On Windows new programs are named at the root of drive C.
    const QString home = QStringLiteral("c:");
#else
    const QString home = QDir::toNativeSeparators(QDir::homePath());
#endif
    trigger("New");
    EXPECT_EQ(active()->caption(), home + QDir::separator() + QLatin1String("Prog_1.asc"));
    trigger("New");
    EXPECT_EQ(active()->caption(), home + QDir::separator() + QLatin1String("Prog_2.asc"));
    trigger("New");
    EXPECT_EQ(active()->caption(), home + QDir::separator() + QLatin1String("Prog_3.asc"));
    // A count, not a serial number: after a close the next one repeats a name.
    principal->editors().front()->close();
    trigger("New");
    EXPECT_EQ(active()->caption(), home + QDir::separator() + QLatin1String("Prog_3.asc"));
    EXPECT_EQ(principal->openWindowCount(), 4);
    EXPECT_TRUE(readBytes(active()->caption()) == "<missing>"); // nothing written
}

TEST_F(MainWindow, WindowMenuListsEditorsAndActivatesTheChosenOne) {
    QMenu* windows = principal->findChild<QMenu*>(QStringLiteral("Window"));
    ASSERT_NE(windows, nullptr);
    emit windows->aboutToShow();
    EXPECT_TRUE(windows->actions().isEmpty());

    trigger("New");
    trigger("New");
    principal->editors()[1]->setCaption(docPath(QStringLiteral("a&b.asc")));
    emit windows->aboutToShow();
    const QList<QAction*> entries = windows->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), principal->editors()[0]->caption());
    // An ampersand in a path is shown, not taken for an access key.
    EXPECT_EQ(entries[1]->text(), docPath(QStringLiteral("a&&b.asc")));
    EXPECT_FALSE(entries[0]->isChecked());
    EXPECT_TRUE(entries[1]->isChecked());

    entries[0]->trigger();
    EXPECT_EQ(active(), principal->editors()[0]);
    emit windows->aboutToShow();
    EXPECT_TRUE(windows->actions()[0]->isChecked());
    EXPECT_FALSE(windows->actions()[1]->isChecked());
}

TEST_F(MainWindow, WorkspaceHoldsTheEditors) {
    trigger("New");
    EXPECT_EQ(active()->mdiArea(), principal->mdiArea());
    EXPECT_EQ(principal->centralWidget(), principal->mdiArea());
}

// Destroyed without being closed first (as the memory probe does), the main
// window's widgets close the editors after its own members are gone.
TEST_F(MainWindow, DestroyedWithEditorsStillOpen) {
    trigger("New");
    trigger("New");
    ASSERT_EQ(principal->editors().size(), 2);
    principal.reset();
}

} // namespace
