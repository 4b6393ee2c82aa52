// "Configurer le circuit (CONFIG)..." and "Programmer l'EEPROM..." with no
// debugging window open: the board reached by its port, the talker loaded
// into the simulated chip in bootstrap mode, then CONFIG and the EEPROM
// programmed there and found in the chip after it.
#include "board/board_texts.h"
#include "board/simulated_board.h"
#include "fakes/ui_fixture.h"
#include "simulation/chip_board.h"
#include "simulation/chip_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <functional>
#include <memory>

using namespace kavrel;
using namespace kavrel::test;

namespace {

bool waitFor(const std::function<bool()>& done, int ms = 20000) {
    return QTest::qWaitFor(done, ms);
}

// The test's board, lent to the dialogs' worker thread: still there to be
// looked at once they have let it go.
class LentBoard final : public board::Transport {
public:
    explicit LentBoard(board::Transport& board) : board_(board) {}
    void open(const std::string& port, unsigned baud) override { board_.open(port, baud); }
    void write(std::span<const std::uint8_t> bytes) override { board_.write(bytes); }
    std::size_t read(std::span<std::uint8_t> into, board::Duration timeout) override {
        return board_.read(into, timeout);
    }
    void setBaud(unsigned baud) override { board_.setBaud(baud); }
    void pulseReset(board::Duration low) override { board_.pulseReset(low); }
    void close() override { board_.close(); }
    board::Duration now() const override { return board_.now(); }

private:
    board::Transport& board_;
};

class ChipOnBoard : public UiTest {
protected:
    board::test::SimulatedBoard chip{sim11::Chip::E9};

    // Fills the connection dialog the command opened, and connects.
    bool connectThrough(const QString& part = {}) {
        auto* dialog = principal->findChild<simulation::BoardConnectDialog*>();
        if (!dialog)
            return false;
        if (!part.isEmpty())
            dialog->findChild<QComboBox*>(QStringLiteral("part"))->setCurrentText(part);
        dialog->setTransportFactory([this] { return std::make_unique<LentBoard>(chip); });
        dialog->findChild<QComboBox*>(QStringLiteral("port"))->setEditText(QStringLiteral("COM7"));
        dialog->findChild<QPushButton*>(QStringLiteral("connect"))->click();
        return waitFor([this] { return !principal->findChild<simulation::BoardConnectDialog*>(); });
    }
    // The machine once the dialogs have let the board go, reset: CONFIG as
    // the next start takes it.
    std::uint8_t configAfterReset() {
        chip.machine().pressReset();
        return chip.machine().peek(0x103F);
    }
};

TEST_F(ChipOnBoard, ConfigOfABoardInBootstrapModeProgrammedAndTakenAtTheNextReset) {
    trigger("ConfigureChip");
    ASSERT_TRUE(connectThrough());
    auto* dialog = principal->findChild<simulation::ConfigDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitFor([dialog] { return dialog->atReset().has_value(); }))
        << dialog->statusText().toStdString();
    EXPECT_TRUE(dialog->findChild<QWidget*>(QStringLiteral("target")) != nullptr);
    EXPECT_EQ(dialog->inForceText(), QStringLiteral("En vigueur : $0F"));

    dialog->bit(QStringLiteral("NOCOP"))->setChecked(false);
    QSignalSpy done(dialog, &simulation::ConfigDialog::finishedProgramming);
    dialog->programButton()->click();
    ASSERT_TRUE(done.wait(60000));
    EXPECT_TRUE(done.front().front().toBool()) << dialog->statusText().toStdString();
    EXPECT_EQ(dialog->statusText(),
              QStringLiteral("CONFIG programmé à $0B et vérifié : le changement prendra effet "
                             "au prochain reset."));
    dialog->close();
    ASSERT_TRUE(waitFor([this] { return !principal->findChild<simulation::ConfigDialog*>(); }));
    EXPECT_EQ(configAfterReset() & 0x0F, 0x0B);
}

TEST_F(ChipOnBoard, TheBoardsPartNamedInTheConnectionGivesItsBits) {
    trigger("ConfigureChip");
    ASSERT_TRUE(connectThrough(QStringLiteral("68HC811E2")));
    auto* dialog = principal->findChild<simulation::ConfigDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitFor([dialog] { return dialog->atReset().has_value(); }));
    EXPECT_EQ(dialog->bitNames(),
              (QStringList{"EE3", "EE2", "EE1", "EE0", "NOSEC", "NOCOP", "EEON"}));
    // The chip's CONFIG ($0F) read as a 68HC811E2's: EE3-EE0 at 0.
    EXPECT_FALSE(dialog->bit(QStringLiteral("EE3"))->isChecked());
    EXPECT_TRUE(dialog->bit(QStringLiteral("EEON"))->isChecked());
}

TEST_F(ChipOnBoard, EepromRecordsProgrammedIntoTheBoard) {
    const QString s19 = docPath(QStringLiteral("table.s19"));
    // $B620: 12 34 56, and a byte for RAM that is told and left out.
    writeBytes(s19, "S106B62012345687\r\nS1040000AA51\r\nS9030000FC\r\n");
    dialogs->answers.push_back(s19);
    trigger("ProgramEeprom");
    ASSERT_TRUE(connectThrough());
    auto* dialog = principal->findChild<simulation::EepromDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitFor([dialog] { return dialog->programButton()->isEnabled(); }))
        << dialog->statusText().toStdString() << dialog->noticeText().toStdString();
    EXPECT_TRUE(dialog->noticeText().contains(QStringLiteral("de $0000 à $0000, 1 octet")));
    QSignalSpy done(dialog, &simulation::EepromDialog::finishedProgramming);
    dialog->programButton()->click();
    ASSERT_TRUE(done.wait(60000));
    EXPECT_TRUE(done.front().front().toBool()) << dialog->statusText().toStdString();
    EXPECT_EQ(dialog->statusText(),
              QStringLiteral("EEPROM programmée : 3 octets écrits et vérifiés."));
    dialog->close();
    ASSERT_TRUE(waitFor([this] { return !principal->findChild<simulation::EepromDialog*>(); }));
    EXPECT_EQ(chip.machine().peek(0xB620), 0x12);
    EXPECT_EQ(chip.machine().peek(0xB622), 0x56);
}

TEST_F(ChipOnBoard, CancelledProgrammingIsToldAsPartlyDoneNeverAsDone) {
    // The whole EEPROM, in one record of 512 bytes written as 16 records.
    std::string text;
    for (unsigned row = 0; row < 32; ++row) {
        const unsigned address = 0xB600 + row * 16;
        unsigned sum = 0x13 + (address >> 8) + (address & 0xFF);
        text += QString::asprintf("S113%04X", address).toStdString();
        for (unsigned k = 0; k < 16; ++k) {
            text += "A5";
            sum += 0xA5;
        }
        text += QString::asprintf("%02X\r\n", ~sum & 0xFF).toStdString();
    }
    const QString s19 = docPath(QStringLiteral("plein.s19"));
    writeBytes(s19, text + "S9030000FC\r\n");
    dialogs->answers.push_back(s19);
    trigger("ProgramEeprom");
    ASSERT_TRUE(connectThrough());
    auto* dialog = principal->findChild<simulation::EepromDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitFor([dialog] { return dialog->programButton()->isEnabled(); }))
        << dialog->statusText().toStdString() << dialog->noticeText().toStdString();
    QSignalSpy done(dialog, &simulation::EepromDialog::finishedProgramming);
    dialog->programButton()->click();
    ASSERT_TRUE(waitFor([dialog] { return dialog->programmedBytes() > 0; }));
    EXPECT_EQ(dialog->cancelButton()->text(), QStringLiteral("Annuler"));
    dialog->cancelButton()->click();
    ASSERT_TRUE(done.wait(60000));
    EXPECT_FALSE(done.front().front().toBool());
    EXPECT_TRUE(dialog->statusText().startsWith(QStringLiteral("Programmation annulée après ")))
        << dialog->statusText().toStdString();
    EXPECT_TRUE(dialog->statusText().contains(QStringLiteral(" sur 512 ")));
    EXPECT_LT(dialog->programmedBytes(), 512u);
    EXPECT_TRUE(dialog->isVisible()); // the cancel ended the programming, not the dialog
}

TEST_F(ChipOnBoard, APortThatIsNotThereIsToldAndTheDialogStaysToTryAgain) {
    class Missing final : public board::Transport {
    public:
        void open(const std::string&, unsigned) override {
            throw board::PortError(board::PortFault::NotFound);
        }
        void write(std::span<const std::uint8_t>) override {}
        std::size_t read(std::span<std::uint8_t>, board::Duration) override { return 0; }
        void close() override {}
        board::Duration now() const override { return {}; }
    };
    trigger("ConfigureChip");
    auto* dialog = principal->findChild<simulation::BoardConnectDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->setTransportFactory([] { return std::make_unique<Missing>(); });
    dialog->findChild<QComboBox*>(QStringLiteral("port"))->setEditText(QStringLiteral("COM9"));
    auto* connect = dialog->findChild<QPushButton*>(QStringLiteral("connect"));
    connect->click();
    ASSERT_TRUE(waitFor([connect] { return connect->isEnabled(); }));
    EXPECT_TRUE(dialog->statusText().startsWith(QStringLiteral("Le port COM9 n'existe pas")))
        << dialog->statusText().toStdString();
    EXPECT_EQ(principal->findChild<simulation::ConfigDialog*>(), nullptr);
    dialog->reject();
}

} // namespace
