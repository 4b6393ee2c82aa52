// The dialog "Charger dans la carte (.BOO)..." offscreen: the ports and the
// choices, the load on its worker thread with its progress, and what the user
// is told.
#include "board/board_texts.h"
#include "board/download_dialog.h"
#include "board/scripted_board.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

namespace kavrel::board::test {
namespace {

using namespace std::chrono_literals;

// A board that never answers, in real time: the load goes on until cancelled
// or until the answer time has run out.
class DeafPort : public Transport {
public:
    void open(const std::string&, unsigned) override {}
    void write(std::span<const std::uint8_t>) override {}
    std::size_t read(std::span<std::uint8_t>, Duration timeout) override {
        std::this_thread::sleep_for(timeout);
        return 0;
    }
    void close() override {}
    Duration now() const override {
        return std::chrono::steady_clock::now().time_since_epoch();
    }
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        boo = folder.filePath(QStringLiteral("prog.BOO"));
        writeBoo(300);
    }

    void writeBoo(int programBytes) {
        QFile file(boo);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes(1, '\xFF');
        for (int i = 0; i < programBytes; ++i)
            bytes.append(static_cast<char>(i * 7));
        file.write(bytes);
    }

    // Each load on a scripted board of its own; `board` is the last one.
    void useScriptedBoards(DownloadDialog& dialog) {
        dialog.setTransportFactory([this] {
            auto made = std::make_unique<ScriptedBoard>();
            board = made.get();
            return made;
        });
    }

    template <typename T> T* find(DownloadDialog& dialog, const char* name) {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QTemporaryDir folder;
    QString boo;
    ScriptedBoard* board = nullptr;
    QList<PortEntry> ports{{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"),
                            QStringLiteral("FTDI")},
                           {QStringLiteral("/dev/ttyS0"), {}, {}}};
};

TEST_F(DialogTest, PortsAreListedAndTheChoiceSurvivesPlugsAndUnplugs) {
    DownloadDialog dialog(boo);
    dialog.setPortLister([this] { return ports; });
    auto* port = find<QComboBox>(dialog, "port");
    ASSERT_EQ(port->count(), 2);
    EXPECT_EQ(port->itemText(0), "/dev/ttyUSB0 (FT232R USB UART, FTDI)");
    EXPECT_EQ(dialog.chosenPort(), "/dev/ttyUSB0");

    port->setCurrentIndex(1);
    ports.prepend({QStringLiteral("/dev/ttyACM0"), QStringLiteral("Carte"), {}});
    dialog.refreshPorts();
    EXPECT_EQ(port->count(), 3);
    EXPECT_EQ(dialog.chosenPort(), "/dev/ttyS0") << "still the port chosen";

    // A path typed by hand (a pseudo-terminal) is kept as typed.
    port->setEditText(QStringLiteral("/dev/pts/7"));
    ports.removeFirst();
    dialog.refreshPorts();
    EXPECT_EQ(port->count(), 2);
    EXPECT_EQ(dialog.chosenPort(), "/dev/pts/7");

    // Defaults: the E family at 1200 bauds.
    EXPECT_EQ(dialog.family(), Family::E);
    EXPECT_EQ(find<QComboBox>(dialog, "speed")->currentText(), "1200");
}

TEST_F(DialogTest, SendLoadsWithProgressAndTellsWhoListens) {
    DownloadDialog dialog(boo);
    dialog.setPortLister([this] { return ports; });
    useScriptedBoards(dialog);
    find<QComboBox>(dialog, "speed")->setEditText(QStringLiteral("7812"));
    // No count is shown before there is one.
    EXPECT_FALSE(find<QProgressBar>(dialog, "progress")->isTextVisible());
    QSignalSpy loaded(&dialog, &DownloadDialog::loaded);
    QTest::mouseClick(find<QPushButton>(dialog, "send"), Qt::LeftButton);
    EXPECT_TRUE(dialog.sending());
    EXPECT_FALSE(find<QPushButton>(dialog, "send")->isEnabled());
    ASSERT_TRUE(loaded.wait(5000)) << dialog.statusText().toStdString();

    EXPECT_EQ(loaded.at(0).at(0).toString(), "/dev/ttyUSB0");
    EXPECT_EQ(loaded.at(0).at(1).toUInt(), 7812u);
    EXPECT_EQ(dialog.statusText(), "Programme chargé : 300 octets envoyés et vérifiés.");
    auto* progress = find<QProgressBar>(dialog, "progress");
    EXPECT_EQ(progress->maximum(), 300);
    EXPECT_EQ(progress->value(), 300);
    EXPECT_EQ(progress->text(), "300 / 300 octets");
    EXPECT_TRUE(progress->isTextVisible());
    EXPECT_FALSE(dialog.sending());
    EXPECT_TRUE(find<QPushButton>(dialog, "send")->isEnabled());
    // The line stays open for the terminal, handed over not yet started.
    auto* link = loaded.at(0).at(3).value<SerialLink*>();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->parent(), &dialog);
    EXPECT_EQ(link->name(), "/dev/ttyUSB0");
    EXPECT_EQ(link->baud(), 7812u);
    EXPECT_TRUE(board->isOpen);
}

TEST_F(DialogTest, TheResetBoxPulsesTheLinesFirstAndTheChoicesComeBack) {
    DownloadDialog dialog(boo);
    dialog.setPortLister([this] { return ports; });
    useScriptedBoards(dialog);
    auto* reset = find<QCheckBox>(dialog, "resetByLines");
    EXPECT_FALSE(reset->isChecked()) << "never pulsed unless asked";
    reset->setChecked(true);
    QSignalSpy loaded(&dialog, &DownloadDialog::loaded);
    dialog.send();
    EXPECT_FALSE(reset->isEnabled());
    ASSERT_TRUE(loaded.wait(5000)) << dialog.statusText().toStdString();
    EXPECT_EQ(board->pulses, 1u);

    const DownloadChoices chosen{QStringLiteral("/dev/ttyS0"), Family::A, QStringLiteral("9600"),
                                 QStringLiteral("4800"), true};
    DownloadDialog next(boo);
    next.setPortLister([this] { return ports; });
    next.setChoices(chosen);
    const DownloadChoices back = next.choices();
    EXPECT_EQ(back.port, chosen.port);
    EXPECT_EQ(back.family, Family::A);
    EXPECT_EQ(back.speed, chosen.speed);
    EXPECT_EQ(back.programSpeed, chosen.programSpeed);
    EXPECT_TRUE(back.resetByLines);
    EXPECT_EQ(next.programBaud(), 4800u);
}

TEST_F(DialogTest, FamilyAndRefusalsAreSaidInTheDialog) {
    DownloadDialog dialog(boo);
    dialog.setPortLister([this] { return ports; });
    dialog.setTransportFactory([] { return std::make_unique<ScriptedBoard>(); });
    auto* speed = find<QComboBox>(dialog, "speed");

    speed->setEditText(QStringLiteral("vite"));
    dialog.send();
    EXPECT_FALSE(dialog.sending());
    EXPECT_EQ(dialog.statusText(), QString::fromUtf8(kBadSpeed));

    speed->setEditText(QStringLiteral("1200"));
    find<QComboBox>(dialog, "port")->setEditText(QString());
    dialog.send();
    EXPECT_EQ(dialog.statusText(), QString::fromUtf8(kChoosePort));

    // 300 bytes do not fit an A part; said before anything is sent.
    dialog.refreshPorts();
    find<QComboBox>(dialog, "port")->setCurrentIndex(0);
    find<QRadioButton>(dialog, "familyA")->setChecked(true);
    QSignalSpy loaded(&dialog, &DownloadDialog::loaded);
    dialog.send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.sending(); }, 5000));
    EXPECT_TRUE(dialog.statusText().startsWith("Le programme fait 300 octets"));
    EXPECT_EQ(loaded.count(), 0);

    QFile::remove(boo);
    dialog.send();
    EXPECT_FALSE(dialog.sending());
    EXPECT_FALSE(dialog.statusText().isEmpty());
}

TEST_F(DialogTest, AnnulerStopsALoadAndTheDialogStaysUsable) {
    DownloadDialog dialog(boo);
    dialog.setPortLister([this] { return ports; });
    dialog.setTransportFactory([] { return std::make_unique<DeafPort>(); });
    dialog.send();
    ASSERT_TRUE(dialog.sending());
    QTest::mouseClick(find<QPushButton>(dialog, "cancel"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.sending(); }, 5000));
    EXPECT_EQ(dialog.statusText(), QString::fromUtf8(kCancelled));
    EXPECT_TRUE(find<QPushButton>(dialog, "send")->isEnabled());
}

} // namespace
} // namespace kavrel::board::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
