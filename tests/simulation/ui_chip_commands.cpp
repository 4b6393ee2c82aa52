// "Configurer le circuit (CONFIG)..." and "Programmer l'EEPROM..." on the
// chip of a simulation window: the bits shown by name, the question before a
// change that would lock the chip, the programming read back.
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>

#include "board/board_texts.h"
#include "simulation/chip_dialogs.h"
#include "simulation/simulation_fixture.h"

namespace kavrel::test {
namespace {

using simulation::ConfigDialog;
using simulation::EepromDialog;

// One S1 record, its count and checksum computed.
std::string s1(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> record{static_cast<std::uint8_t>(bytes.size() + 3),
                                     static_cast<std::uint8_t>(address >> 8),
                                     static_cast<std::uint8_t>(address)};
    record.insert(record.end(), bytes.begin(), bytes.end());
    unsigned sum = 0;
    std::string line = "S1";
    for (std::uint8_t byte : record) {
        sum += byte;
        line += QString::asprintf("%02X", byte).toStdString();
    }
    return line + QString::asprintf("%02X", ~sum & 0xFF).toStdString() + "\r\n";
}

class ChipCommands : public SimulationTest {
protected:
    simulation::SimulationWindow* window = nullptr;

    void SetUp() override {
        SimulationTest::SetUp();
        open(QStringLiteral("pas.asc"), kSteps);
        window = simulate();
        ASSERT_NE(window, nullptr);
    }

    ConfigDialog* configDialog() {
        trigger("ConfigureChip");
        auto* dialog = principal->findChild<ConfigDialog*>();
        if (dialog && !waitFor([dialog] { return dialog->atReset().has_value(); }))
            return nullptr;
        return dialog;
    }
    // Clicks Programmer and waits for the end; what the dialog said then.
    static bool programmed(ConfigDialog* dialog, bool expected, QString* said = nullptr) {
        QSignalSpy done(dialog, &ConfigDialog::finishedProgramming);
        QString status;
        const auto connection =
            QObject::connect(dialog, &ConfigDialog::finishedProgramming, dialog,
                             [&status, dialog] { status = dialog->statusText(); });
        dialog->programButton()->click();
        const bool ended = !done.isEmpty() || done.wait(5000);
        QObject::disconnect(connection);
        if (!ended)
            return false;
        if (said)
            *said = status;
        return done.front().front().toBool() == expected;
    }
};

TEST_F(ChipCommands, ConfigShowsTheChipsBitsAndProgramsAChangeForTheNextReset) {
    ConfigDialog* dialog = configDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->bitNames(), (QStringList{"NOSEC", "NOCOP", "ROMON", "EEON"}));
    EXPECT_EQ(dialog->inForceText(), QStringLiteral("En vigueur : $0F"));
    EXPECT_EQ(dialog->atResetText(), QStringLiteral("Au prochain reset : $0F"));
    EXPECT_TRUE(dialog->bit("NOCOP")->isChecked());
    EXPECT_TRUE(dialog->bit("NOCOP")->toolTip().contains(QStringLiteral("COP")));

    dialog->bit("NOCOP")->setChecked(false);
    ASSERT_TRUE(programmed(dialog, true)) << dialog->statusText().toStdString();
    EXPECT_TRUE(boxes->shown.empty()); // the COP on asks nothing
    EXPECT_EQ(dialog->statusText(),
              QStringLiteral("CONFIG programmé à $0B et vérifié : le changement prendra effet "
                             "au prochain reset."));
    EXPECT_EQ(dialog->atResetText(), QStringLiteral("Au prochain reset : $0B"));
    EXPECT_EQ(dialog->inForceText(), QStringLiteral("En vigueur : $0F"));

    // Back to 1: an E part erases CONFIG alone, and does not ask.
    dialog->bit("NOCOP")->setChecked(true);
    QString said;
    ASSERT_TRUE(programmed(dialog, true, &said)) << said.toStdString();
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_EQ(dialog->atResetText(), QStringLiteral("Au prochain reset : $0F"));
}

TEST_F(ChipCommands, SecurityOnAsksFirstNoLeavesTheChipYesProgramsIt) {
    ConfigDialog* dialog = configDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->bit("NOSEC")->setChecked(false);

    boxes->answers.push_back(app::BoxAnswer::No);
    ASSERT_TRUE(programmed(dialog, false));
    ASSERT_EQ(boxes->shown.size(), 1u);
    const ShownBox& box = boxes->shown.front();
    EXPECT_EQ(box.title, QStringLiteral("Configurer le circuit (CONFIG)"));
    EXPECT_EQ(box.buttons, app::BoxButtons::YesNo);
    EXPECT_EQ(box.icon, app::BoxIcon::Warning);
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("NOSEC passe à 0")));
    EXPECT_TRUE(box.text.endsWith(QStringLiteral("Programmer quand même CONFIG à $07 ?")));
    EXPECT_EQ(dialog->statusText(), QStringLiteral("Rien n'a été programmé."));

    // Read again by a new dialog: the chip did not change.
    dialog->close();
    QTRY_VERIFY(principal->findChild<ConfigDialog*>() == nullptr);
    dialog = configDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->atResetText(), QStringLiteral("Au prochain reset : $0F"));

    dialog->bit("NOSEC")->setChecked(false);
    boxes->answers.push_back(app::BoxAnswer::Yes);
    ASSERT_TRUE(programmed(dialog, true)) << dialog->statusText().toStdString();
    EXPECT_EQ(boxes->shown.size(), 2u);
    EXPECT_EQ(dialog->atResetText(), QStringLiteral("Au prochain reset : $07"));
}

TEST_F(ChipCommands, AnAPartsBitBackToOneAsksBeforeErasingTheWholeEeprom) {
    ASSERT_TRUE(stopped(window, [this] {
        window->setMachine({sim11::Chip::A1, sim11::Mode::SingleChip, sim11::Board::Chip});
    }));
    ConfigDialog* dialog = configDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->atResetText(), QStringLiteral("Au prochain reset : $0D"));
    dialog->bit("NOCOP")->setChecked(false);
    ASSERT_TRUE(programmed(dialog, true));
    EXPECT_TRUE(boxes->shown.empty());

    dialog->bit("NOCOP")->setChecked(true);
    boxes->answers.push_back(app::BoxAnswer::Yes);
    QString said;
    ASSERT_TRUE(programmed(dialog, true, &said)) << said.toStdString();
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_TRUE(boxes->shown.front().text.startsWith(
        QStringLiteral("Pour remettre un bit à 1, CONFIG doit être effacé : sur un 68HC11A1")));
    EXPECT_EQ(dialog->atResetText(), QStringLiteral("Au prochain reset : $0D"));
}

TEST_F(ChipCommands, TheWindowClosedUnderTheDialogIsToldNotWaitedFor) {
    ConfigDialog* dialog = configDialog();
    ASSERT_NE(dialog, nullptr);
    QPointer<simulation::SimulationWindow> gone(window);
    window->close();
    ASSERT_TRUE(waitFor([&gone] { return gone.isNull(); }));
    EXPECT_EQ(dialog->statusText(),
              QStringLiteral("La fenêtre de la cible a été fermée : rien de ce qui était en "
                             "cours n'a été confirmé."));
    dialog->bit("NOCOP")->setChecked(false);
    ASSERT_TRUE(programmed(dialog, false));
    EXPECT_FALSE(dialog->busy());
}

TEST_F(ChipCommands, EepromOffUnderTheProgramsOwnBytesAsksFirst) {
    // A program with data in the EEPROM, simulated in a window of its own.
    std::vector<std::string> lines = kSteps;
    lines.insert(lines.end() - 1, {"        ORG   $B600", "TABLE   FCB   1,2,3"});
    open(QStringLiteral("table.asc"), lines);
    window = simulate();
    ASSERT_NE(window, nullptr);
    ConfigDialog* dialog = configDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->bit("EEON")->setChecked(false);
    boxes->answers.push_back(app::BoxAnswer::No);
    ASSERT_TRUE(programmed(dialog, false));
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_TRUE(boxes->shown.front().text.contains(QStringLiteral("de $B600 à $B602, 3 octets")))
        << boxes->shown.front().text.toStdString();
}

TEST_F(ChipCommands, EepromRecordsOfAnS19AreProgrammedIntoTheSimulatedChip) {
    const QString s19 = docPath(QStringLiteral("donnees.s19"));
    writeBytes(s19, "S0030000FC\r\n" + s1(0x0100, {0x86, 0x12}) +
                        s1(0xB610, {0x11, 0x22, 0x33, 0x44}) + s1(0xB614, {0x55}) +
                        "S9030000FC\r\n");
    dialogs->answers.push_back(s19); // no .S19 beside the source: the file is asked for
    trigger("ProgramEeprom");
    auto* dialog = principal->findChild<EepromDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitFor([dialog] { return dialog->programButton()->isEnabled(); }))
        << dialog->statusText().toStdString() << dialog->noticeText().toStdString();
    ASSERT_EQ(dialog->recordsTable()->rowCount(), 1);
    EXPECT_EQ(dialog->recordsTable()->item(0, 0)->text(), QStringLiteral("$B610"));
    EXPECT_EQ(dialog->recordsTable()->item(0, 1)->text(), QStringLiteral("5"));
    EXPECT_EQ(dialog->recordsTable()->item(0, 2)->text(), QStringLiteral("11 22 33 44 55"));
    // The record for RAM is told, not dropped in silence.
    EXPECT_TRUE(dialog->noticeText().contains(QStringLiteral("de $0100 à $0101, 2 octets")));

    QSignalSpy done(dialog, &EepromDialog::finishedProgramming);
    dialog->programButton()->click();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_TRUE(done.front().front().toBool()) << dialog->statusText().toStdString();
    EXPECT_EQ(dialog->statusText(),
              QStringLiteral("EEPROM programmée : 5 octets écrits et vérifiés."));
    EXPECT_TRUE(waitFor([this] {
        const auto* shot = window->snapshot();
        return shot && shot->memory[0xB610] == 0x11 && shot->memory[0xB614] == 0x55;
    }));
}

TEST_F(ChipCommands, TheEditorsOwnS19IsProposedOnlyWhenItIsNotOlderThanTheSource) {
    // pas.asc is open; an S19 beside it, written after it: taken without asking.
    const QString s19 = docPath(QStringLiteral("pas.S19"));
    writeBytes(s19, s1(0xB600, {0x42}) + "S9030000FC\r\n");
    const std::size_t asked = dialogs->calls.size(); // the source's own opening
    trigger("ProgramEeprom");
    auto* dialog = principal->findChild<EepromDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialogs->calls.size(), asked);
    EXPECT_EQ(dialog->file(), s19);
    dialog->close();
    QTRY_VERIFY(principal->findChild<EepromDialog*>() == nullptr);

    // The source saved again since: that S19 is stale, the file is asked for.
    QFile source(docPath(QStringLiteral("pas.asc")));
    ASSERT_TRUE(source.open(QIODevice::ReadWrite));
    ASSERT_TRUE(source.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                   QFileDevice::FileModificationTime));
    source.close();
    trigger("ProgramEeprom"); // the dialog cancelled: nothing opens
    EXPECT_EQ(dialogs->calls.size(), asked + 1);
    EXPECT_EQ(principal->findChild<EepromDialog*>(), nullptr);
}

TEST_F(ChipCommands, AFileThatIsNotAnS19IsToldAndNothingIsProgrammed) {
    const QString path = docPath(QStringLiteral("pas-un.s19"));
    writeBytes(path, "bonjour\r\n");
    dialogs->answers.push_back(path);
    trigger("ProgramEeprom");
    auto* dialog = principal->findChild<EepromDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(waitFor([dialog] { return !dialog->busy(); }));
    EXPECT_TRUE(dialog->noticeText().startsWith(QStringLiteral("Le fichier ")));
    EXPECT_FALSE(dialog->programButton()->isEnabled());
}

} // namespace
} // namespace kavrel::test
