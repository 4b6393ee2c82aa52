// The lab board in the simulation window: the boards offered and chosen, a
// faulty board file refused, the LCD and the keypad of the TP board in the
// "Carte" pane, and the window opened from the main window's first size.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiArea>
#include <QScreen>
#include <QSlider>

#include "simulation/board_choice.h"
#include "simulation/board_pane.h"
#include "simulation/ports_pane.h"
#include "simulation_fixture.h"

using namespace kavrel;
using namespace kavrel::test;
using simulation::SimulationWindow;

namespace {

// "BONJOUR" on the TP board's LCD, waiting for its busy flag at each write.
const std::vector<std::string> kBonjour = {
    "LCD_I    EQU  $B5F0",
    "LCD_D    EQU  $B5F1",
    "         ORG  $2000",
    "DEBUT    LDS  #$01FF",
    "         LDAA #$38",
    "         BSR  COMMANDE",
    "         LDAA #$0C",
    "         BSR  COMMANDE",
    "         LDAA #$06",
    "         BSR  COMMANDE",
    "         LDAA #$01",
    "         BSR  COMMANDE",
    "         LDX  #TEXTE",
    "SUIVANT  LDAA 0,X",
    "         BEQ  FINI",
    "         BSR  DONNEE",
    "         INX",
    "         BRA  SUIVANT",
    "FINI     BRA  FINI",
    "COMMANDE LDAB LCD_I",
    "         BMI  COMMANDE",
    "         STAA LCD_I",
    "         RTS",
    "DONNEE   LDAB LCD_I",
    "         BMI  DONNEE",
    "         STAA LCD_D",
    "         RTS",
    "TEXTE    FCC  \"BONJOUR\"",
    "         FCB  0",
    "         ORG  $FFFE",
    "         FDB  DEBUT",
};

// Scans the TP board's keypad (columns PD2-PD5 driven low one at a time,
// rows read on PE0-PE3) and writes each key pressed on the LCD, once its
// bounce is over.
const std::vector<std::string> kKeys = {
    "REGS     EQU  $1000",
    "LCD_I    EQU  $B5F0",
    "LCD_D    EQU  $B5F1",
    "         ORG  $2000",
    "DEBUT    LDS  #$01FF",
    "         LDX  #REGS",
    "         LDAA #%00111100",
    "         STAA $09,X",
    "         LDAA #$38",
    "         BSR  COMMANDE",
    "         LDAA #$0C",
    "         BSR  COMMANDE",
    "         LDAA #$06",
    "         BSR  COMMANDE",
    "         LDAA #$01",
    "         BSR  COMMANDE",
    "BOUCLE   BSR  LIRE",
    "         TSTA",
    "         BEQ  BOUCLE",
    "         PSHA",
    "         BSR  PAUSE",
    "         BSR  LIRE",
    "         PULB",
    "         CBA",
    "         BNE  BOUCLE",
    "         BSR  DONNEE",
    "RELACHE  BSR  LIRE",
    "         TSTA",
    "         BNE  RELACHE",
    "         BSR  PAUSE",
    "         BRA  BOUCLE",
    "LIRE     CLRB",
    "         LDAA #%11111011",
    "COLONNE  STAA $08,X",
    "         PSHA",
    "         LDAA $0A,X",
    "         ANDA #$0F",
    "         CMPA #$0F",
    "         BNE  TROUVE",
    "         PULA",
    "         SEC",
    "         ROLA",
    "         INCB",
    "         CMPB #4",
    "         BNE  COLONNE",
    "         CLRA",
    "         RTS",
    "TROUVE   INS",
    "LIGNE    LSRA",
    "         BCC  TABLE",
    "         ADDB #4",
    "         BRA  LIGNE",
    "TABLE    LDY  #TOUCHES",
    "         ABY",
    "         LDAA 0,Y",
    "         RTS",
    "PAUSE    LDY  #2900",
    "PAUSE_1  DEY",
    "         BNE  PAUSE_1",
    "         RTS",
    "COMMANDE LDAB LCD_I",
    "         BMI  COMMANDE",
    "         STAA LCD_I",
    "         RTS",
    "DONNEE   LDAB LCD_I",
    "         BMI  DONNEE",
    "         STAA LCD_D",
    "         RTS",
    "TOUCHES  FCC  \"123A\"",
    "         FCC  \"456B\"",
    "         FCC  \"789C\"",
    "         FCC  \"*0#D\"",
    "         ORG  $FFFE",
    "         FDB  DEBUT",
};

class BoardWindowTest : public SimulationTest {
protected:
    void SetUp() override {
        // The documents folder is in the test's home, whatever the user's
        // folders file says.
        savedConfig_ = qgetenv("XDG_CONFIG_HOME");
        SimulationTest::SetUp();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(docs.filePath(QStringLiteral(".config"))));
    }
    void TearDown() override {
        if (IsSkipped())
            return;
        SimulationTest::TearDown();
        if (savedConfig_.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", savedConfig_);
    }

    // The program simulated on the TP board, stopped at its entry.
    SimulationWindow* onTp(const QString& name, const std::vector<std::string>& lines) {
        open(name, lines);
        SimulationWindow* window = simulate();
        if (!window)
            return nullptr;
        bool chosen = false;
        if (!stopped(window, [&] { chosen = window->selectBoard(QStringLiteral("tp")); }) ||
            !chosen)
            return nullptr;
        return window;
    }
    static QString lcdText(SimulationWindow* window) {
        QWidget* lcd = window->boardPane()->lcd(0);
        return lcd ? lcd->accessibleDescription() : QString();
    }
    // The board files' folder of the user, made.
    QString userBoards() const {
        const QString folder = simulation::userBoardsFolder();
        QDir().mkpath(folder);
        return folder;
    }

    QByteArray savedConfig_;
};

// The tests that fill the user's folder of boards: on Linux it is in the
// test's home; the documents folder of Windows is not the test's to fill.
#ifdef _WIN32
#define SKIP_WITHOUT_OWN_DOCUMENTS() GTEST_SKIP() << "the documents folder of Windows is not the test's to fill"
#else
#define SKIP_WITHOUT_OWN_DOCUMENTS() (void)0
#endif

TEST_F(BoardWindowTest, TheShippedBoardsThenTheUsersFilesAreOffered) {
    SKIP_WITHOUT_OWN_DOCUMENTS();
    writeBytes(QDir(userBoards()).filePath(QStringLiteral("ma_carte.toml")),
               "nom = \"Ma carte\"\ncircuit = \"A1\"\n[[led]]\nnom = \"Témoin\"\nbroche = \"PB0\"\n");
    open(QStringLiteral("carte.asc"), {"        ORG   $0100", "BCL     BRA   BCL"});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->boardKey(), QStringLiteral("chip"));
    QComboBox* box = window->boardCombo();
    ASSERT_NE(box, nullptr);
    // A board file put in the folder after the window opened is listed too.
    writeBytes(QDir(userBoards()).filePath(QStringLiteral("autre.toml")), "nom = \"Autre\"\n");
    window->refreshBoards();
    QStringList names, tips;
    for (int k = 0; k < box->count(); ++k) {
        names << box->itemText(k);
        tips << box->itemData(k, Qt::ToolTipRole).toString();
    }
    EXPECT_EQ(names, QStringList({QStringLiteral("Circuit seul"),
                                  QStringLiteral("Carte d'évaluation avec moniteur"),
                                  QStringLiteral("Carte de TP : LCD 2×16 et clavier 4×4"),
                                  QStringLiteral("Carte monopuce : LCD sur ports, afficheurs, boutons"),
                                  QStringLiteral("Autre"), QStringLiteral("Ma carte")}));
    EXPECT_EQ(tips.at(2), QStringLiteral("tp.toml"));
    EXPECT_TRUE(tips.at(5).endsWith(QStringLiteral("ma_carte.toml"))) << tips.at(5).toStdString();
    EXPECT_EQ(box->currentText(), QStringLiteral("Circuit seul"));

    // Chosen from the list: the chip it names, its LED in the pane.
    ASSERT_TRUE(stopped(window, [&] { box->activated(5); }));
    EXPECT_EQ(window->machine().chip, sim11::Chip::A1);
    EXPECT_EQ(window->snapshot()->chip, sim11::Chip::A1);
    ASSERT_TRUE(waitFor([&] { return window->boardPane()->led(0) != nullptr; }));
    EXPECT_EQ(window->boardPane()->led(0)->accessibleName(), QStringLiteral("Témoin"));
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(BoardWindowTest, AFaultyBoardFileIsRefusedWithItsLineAndTheBoardKept) {
    SKIP_WITHOUT_OWN_DOCUMENTS();
    SimulationWindow* window = onTp(QStringLiteral("garde.asc"), kBonjour);
    ASSERT_NE(window, nullptr);
    const QString faulty = QDir(userBoards()).filePath(QStringLiteral("fausse.toml"));
    writeBytes(faulty, "nom = \"Fausse\"\n\n[[led]]\nnom = \"L1\"\nbroche = \"PZ9\"\n");
    window->refreshBoards();
    QComboBox* box = window->boardCombo();
    const int index = box->findData(QDir::toNativeSeparators(faulty));
    ASSERT_GE(index, 0);
    box->setCurrentIndex(index);
    box->activated(index);
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Carte"));
    EXPECT_TRUE(boxes->shown[0].text.startsWith(QStringLiteral("La carte ")));
    EXPECT_TRUE(boxes->shown[0].text.contains(
        QStringLiteral("fausse.toml n'a pas été chargée :\r\nligne 5 : broche inconnue « PZ9 »")))
        << boxes->shown[0].text.toStdString();
    EXPECT_TRUE(boxes->shown[0].text.endsWith(
        QStringLiteral("La fenêtre garde la carte « Carte de TP : LCD 2×16 et clavier 4×4 ».")))
        << boxes->shown[0].text.toStdString();
    EXPECT_EQ(window->boardKey(), QStringLiteral("tp"));
    EXPECT_EQ(box->currentText(), QStringLiteral("Carte de TP : LCD 2×16 et clavier 4×4"));
    // Through the examples' call too; a file that is not there is said.
    EXPECT_FALSE(window->selectBoard(QDir(userBoards()).filePath(QStringLiteral("absente.toml"))));
    EXPECT_EQ(boxes->shown.size(), 2u);
    EXPECT_EQ(window->boardKey(), QStringLiteral("tp"));
    // The board still runs the program: the text comes.
    trigger("Run");
    EXPECT_TRUE(waitFor([&] { return lcdText(window).startsWith(QStringLiteral("BONJOUR")); }))
        << lcdText(window).toStdString();

    // Mended by the teacher, read again at the next choice.
    writeBytes(faulty, "nom = \"Réparée\"\n\n[[led]]\nnom = \"L1\"\nbroche = \"PB1\"\n");
    EXPECT_TRUE(window->selectBoard(faulty));
    EXPECT_EQ(box->currentText(), QStringLiteral("Réparée"));
    EXPECT_EQ(boxes->shown.size(), 2u);
}

TEST_F(BoardWindowTest, BonjourOnTheTpBoardsLcd) {
    SimulationWindow* window = onTp(QStringLiteral("bonjour.asc"), kBonjour);
    ASSERT_NE(window, nullptr);
    // The TP board names its chip and mode: the combos follow.
    EXPECT_EQ(window->machine().mode, sim11::Mode::Expanded);
    EXPECT_EQ(window->snapshot()->mode, sim11::Mode::Expanded);
    EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("SimMode"))->currentText(),
              QStringLiteral("Étendu"));
    trigger("Run");
    ASSERT_TRUE(waitFor([&] { return lcdText(window).startsWith(QStringLiteral("BONJOUR")); }))
        << lcdText(window).toStdString();
    QWidget* lcd = window->boardPane()->lcd(0);
    EXPECT_EQ(lcd->accessibleName(), QStringLiteral("LCD"));
    EXPECT_EQ(lcd->accessibleDescription(),
              QStringLiteral("BONJOUR         \n                "));
    // A program that waits for the busy flag loses nothing: nothing said.
    EXPECT_FALSE(window->boardPane()->notice()->isVisibleTo(window->boardPane()));
    // Each part named for a screen reader.
    EXPECT_EQ(window->boardPane()->key(0, 10)->accessibleName(), QStringLiteral("Touche 9 (Clavier)"));
    EXPECT_EQ(window->boardPane()->buzzer(0)->text(), QStringLiteral("Buzzer : muet"));
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
}

TEST_F(BoardWindowTest, AWriteWhileTheLcdIsBusyIsSaidOnce) {
    SimulationWindow* window = onTp(QStringLiteral("presse.asc"),
                                    {"         ORG  $2000", "DEBUT    LDAA #$38",
                                     "         STAA $B5F0", "         STAA $B5F0",
                                     "         LDAA #$41", "         STAA $B5F1",
                                     "FINI     BRA  FINI", "         ORG  $FFFE",
                                     "         FDB  DEBUT"});
    ASSERT_NE(window, nullptr);
    trigger("Run");
    QLabel* notice = window->boardPane()->notice();
    ASSERT_TRUE(waitFor([&] { return notice->isVisibleTo(window->boardPane()); }));
    EXPECT_EQ(notice->text(),
              QStringLiteral("L'afficheur LCD a ignoré une écriture : le programme a écrit avant "
                             "que l'afficheur ait fini (drapeau « occupé »)."));
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
}

TEST_F(BoardWindowTest, AKeyHeldInThePaneReachesTheKeypadReader) {
    SimulationWindow* window = onTp(QStringLiteral("touches.asc"), kKeys);
    ASSERT_NE(window, nullptr);
    trigger("Run");
    ASSERT_TRUE(waitFor([&] { return window->isRunning(); }));
    simulation::BoardPane* pane = window->boardPane();
    // With the mouse: "5" is the second key of the second row.
    QAbstractButton* five = pane->key(0, 5);
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->text(), QStringLiteral("5"));
    QTest::mousePress(five, Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return lcdText(window).startsWith(QStringLiteral("5")); }))
        << lcdText(window).toStdString();
    // Drawn down while the board has it pressed.
    EXPECT_TRUE(pane->view().keypads.at(0).pressed.at(5));
    QTest::mouseRelease(five, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !pane->view().keypads.at(0).pressed.at(5); }));

    // With the keyboard while the pane has the focus: held until released.
    pane->setFocus();
    QTest::keyPress(pane, Qt::Key_NumberSign, Qt::NoModifier);
    EXPECT_TRUE(waitFor([&] { return lcdText(window).startsWith(QStringLiteral("5#")); }))
        << lcdText(window).toStdString();
    EXPECT_TRUE(pane->view().keypads.at(0).pressed.at(14));
    QTest::keyRelease(pane, Qt::Key_NumberSign, Qt::NoModifier);
    ASSERT_TRUE(waitFor([&] { return !pane->view().keypads.at(0).pressed.at(14); }));
    QTest::keyPress(pane, Qt::Key_A, Qt::NoModifier);
    EXPECT_TRUE(waitFor([&] { return lcdText(window).startsWith(QStringLiteral("5#A")); }))
        << lcdText(window).toStdString();
    // Held long, the key repeats: a release and a press that are the
    // repeat's, which let nothing go.
    for (QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
        QKeyEvent repeat(type, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), true);
        QApplication::sendEvent(pane, &repeat);
    }
    QTest::qWait(100);
    EXPECT_TRUE(pane->view().keypads.at(0).pressed.at(3));
    QTest::keyRelease(pane, Qt::Key_A, Qt::NoModifier);
    ASSERT_TRUE(waitFor([&] { return !pane->view().keypads.at(0).pressed.at(3); }));
    EXPECT_TRUE(lcdText(window).startsWith(QStringLiteral("5#A "))) << lcdText(window).toStdString();
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
    // Nothing held is left behind.
    for (bool down : pane->view().keypads.at(0).pressed)
        EXPECT_FALSE(down);
}

TEST_F(BoardWindowTest, FromTheFirstSizeTheSourceRegistersAndBoardAreOnScreen) {
    // The main window as it starts.
    const QSize first = principal->size();
    open(QStringLiteral("taille.asc"), {"        ORG   $0100", "BCL     BRA   BCL"});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    QTest::qWait(50);
    const QRect screen = principal->screen()->availableGeometry();
    const QRect main(principal->mapToGlobal(QPoint(0, 0)), principal->size());
    EXPECT_TRUE(screen.contains(principal->frameGeometry())) << principal->frameGeometry().x();
    EXPECT_TRUE(principal->width() > first.width() || principal->height() > first.height());
    // The window itself within the workspace's visible part.
    QWidget* viewport = window->mdiArea()->viewport();
    const QRect visible(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    EXPECT_TRUE(visible.contains(QRect(window->mapToGlobal(QPoint(0, 0)), window->size())));
    const std::pair<const char*, QWidget*> panes[] = {
        {"source", window->sourcePane()},
        {"registres", window->registersPane()},
        {"carte", window->boardPane()},
    };
    for (const auto& [name, pane] : panes) {
        ASSERT_TRUE(pane->isVisible()) << name;
        // What is shown of it: inside its scroll area, if any.
        QRect shown(pane->mapToGlobal(QPoint(0, 0)), pane->visibleRegion().boundingRect().size());
        shown.translate(pane->visibleRegion().boundingRect().topLeft());
        EXPECT_GE(shown.width(), 60) << name;
        EXPECT_GE(shown.height(), 40) << name;
        EXPECT_TRUE(screen.contains(shown)) << name;
        EXPECT_TRUE(main.contains(shown)) << name;
    }
}

TEST_F(BoardWindowTest, EachAnalogSliderIsNamedByItsPin) {
    open(QStringLiteral("noms.asc"), {"        ORG   $0100", "BCL     BRA   BCL"});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    QStringList names;
    for (int channel = 0; channel < 8; ++channel) {
        auto* slider = window->portsPane()->findChild<QSlider*>(QStringLiteral("AN%1").arg(channel));
        ASSERT_NE(slider, nullptr);
        names << slider->accessibleName();
    }
    EXPECT_EQ(names.first(), QStringLiteral("Entrée analogique PE0"));
    EXPECT_EQ(names.last(), QStringLiteral("Entrée analogique PE7"));
    EXPECT_EQ(names.removeDuplicates(), 0);
}

} // namespace
