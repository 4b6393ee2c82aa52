// The port field the board dialogs share, offscreen: what a new list keeps
// of the choice, the list looked at again on its own, and the readings of
// speeds and crystals as typed.
#include "board/port_choice.h"

#include <gtest/gtest.h>

#include <QTest>

namespace kavrel::board::test {
namespace {

const PortEntry kAdapter{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"),
                         QStringLiteral("FTDI")};
const PortEntry kSerial{QStringLiteral("/dev/ttyS0"), {}, {}};

TEST(PortChoice, ANewListKeepsTheChoiceAndShowsWhatChanged) {
    QList<PortEntry> ports{kAdapter, kSerial};
    PortChoice field;
    field.setLister([&] { return ports; });
    EXPECT_EQ(field.objectName(), "port");
    EXPECT_EQ(field.chosen(), "/dev/ttyUSB0") << "the first port when nothing was chosen";

    field.setCurrentIndex(1);
    // The same port, named otherwise by the system: the new name is shown,
    // the choice stays.
    ports[1].description = QStringLiteral("Port série");
    field.refresh();
    EXPECT_EQ(field.itemText(1), "/dev/ttyS0 (Port série)");
    EXPECT_EQ(field.chosen(), "/dev/ttyS0");

    // A port chosen that goes away leaves its path, to be told when used.
    ports.removeLast();
    field.refresh();
    EXPECT_EQ(field.count(), 1);
    EXPECT_EQ(field.chosen(), "/dev/ttyS0");

    // Chosen again: its entry when listed, otherwise as typed; nothing for none.
    field.choose(QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(field.currentIndex(), 0);
    EXPECT_EQ(field.chosen(), "/dev/ttyUSB0");
    field.choose(QStringLiteral("/dev/pts/4"));
    EXPECT_EQ(field.chosen(), "/dev/pts/4");
    field.choose(QString());
    EXPECT_EQ(field.chosen(), "/dev/pts/4");

    // Another source: the old choice goes with the old list.
    field.setLister([] { return QList<PortEntry>{kSerial}; });
    EXPECT_EQ(field.chosen(), "/dev/ttyS0");
    field.setLister([] { return QList<PortEntry>{}; });
    EXPECT_TRUE(field.chosen().isEmpty());
}

TEST(PortChoice, APortPluggedInIsListedWithoutBeingAskedFor) {
    QList<PortEntry> ports;
    PortChoice field;
    field.setLister([&] { return ports; });
    EXPECT_EQ(field.count(), 0);
    ports << kAdapter;
    EXPECT_TRUE(QTest::qWaitFor([&] { return field.count() == 1; }, 5 * PortChoice::kPollMs));
    EXPECT_EQ(field.chosen(), "/dev/ttyUSB0");
}

TEST(PortChoice, SpeedsAndCrystalsAsTyped) {
    EXPECT_EQ(baudOf(QStringLiteral(" 9600 ")), 9600u);
    EXPECT_EQ(baudOf(QStringLiteral("50")), 50u);
    EXPECT_EQ(baudOf(QStringLiteral("4000000")), 4000000u);
    for (const char* bad : {"49", "4000001", "-1200", "9600 bauds", "", "96.00"})
        EXPECT_EQ(baudOf(QString::fromUtf8(bad)), 0u) << bad;

    EXPECT_DOUBLE_EQ(crystalHzOf(QStringLiteral("9,8304"), 1, 16), 9830400.0);
    EXPECT_DOUBLE_EQ(crystalHzOf(QStringLiteral(" 9.8304 "), 1, 16), 9830400.0);
    EXPECT_DOUBLE_EQ(crystalHzOf(QStringLiteral("16"), 1, 16), 16e6) << "the bounds are taken";
    EXPECT_DOUBLE_EQ(crystalHzOf(QStringLiteral("1"), 1, 16), 1e6);
    for (const char* bad : {"16,01", "0,9", "8 MHz", "", "huit"})
        EXPECT_EQ(crystalHzOf(QString::fromUtf8(bad), 1, 16), 0.0) << bad;
}

} // namespace
} // namespace kavrel::board::test
