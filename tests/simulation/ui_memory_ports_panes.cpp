// The memory and ports panes fed with snapshots, as the window feeds them,
// and driven as a user would: what they mark, what they let the user change,
// what they ask of the machine.
#include <gtest/gtest.h>

#include <QAction>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <memory>

#include "simulation/debug_model.h"
#include "simulation/memory_pane.h"
#include "simulation/ports_pane.h"

using namespace kavrel::simulation;

namespace {

std::unique_ptr<Snapshot> machine() {
    auto s = std::make_unique<Snapshot>();
    s->chip = sim11::Chip::E9;
    s->registerBase = 0x1000;
    s->ports[0] = {0x00, 0x78, 0xFF}; // A: PA3-PA6 outputs
    s->ports[1] = {0x00, 0xFF, 0xFF}; // B: outputs
    s->ports[2] = {0x00, 0x0F, 0xFF}; // C: DDRC = $0F
    s->ports[3] = {0x00, 0x00, 0x3F}; // D: six pins, all inputs
    s->ports[4] = {0x00, 0x00, 0xFF}; // E: inputs
    return s;
}

QModelIndex cell(QTableView* view, quint16 address, bool chars = false) {
    return view->model()->index(address / 16, address % 16 + (chars ? 16 : 0));
}

bool marked(QTableView* view, quint16 address) {
    return cell(view, address).data(Qt::ForegroundRole).isValid();
}

class MemoryPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        pane.resize(700, 400);
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
        pane.showSnapshot(*now, true);
    }
    QTableView* view() { return pane.memoryView(); }

    std::unique_ptr<Snapshot> now = machine();
    DebugModel debug;
    MemoryPane pane{debug};
    QSignalSpy edits{&pane, &MemoryPane::byteEdited};
};

} // namespace

TEST_F(MemoryPaneTest, ChangesCountFromThePreviousStop) {
    EXPECT_FALSE(marked(view(), 0x0040)); // nothing to compare the first picture with
    now->memory[0x0040] = 0x12;
    now->memory[0xFFFE] = 0xF8;
    pane.showSnapshot(*now, true);
    EXPECT_TRUE(marked(view(), 0x0040));
    EXPECT_TRUE(marked(view(), 0xFFFE));
    EXPECT_FALSE(marked(view(), 0x0041));
    EXPECT_EQ(cell(view(), 0x0040).data().toString(), QStringLiteral("12"));

    // The next step changed nothing: nothing marked.
    pane.showSnapshot(*now, true);
    EXPECT_FALSE(marked(view(), 0x0040));

    // While running, what changed since the run began; at the stop, the same.
    now->memory[0x0041] = 0x01;
    pane.showSnapshot(*now, false);
    EXPECT_TRUE(marked(view(), 0x0041));
    now->memory[0x0042] = 0x02;
    pane.showSnapshot(*now, false);
    EXPECT_TRUE(marked(view(), 0x0041));
    pane.showSnapshot(*now, true);
    EXPECT_TRUE(marked(view(), 0x0041));
    EXPECT_TRUE(marked(view(), 0x0042));
    EXPECT_FALSE(marked(view(), 0x0040));
}

TEST_F(MemoryPaneTest, EditsWhileStoppedOnly) {
    pane.goToAddress(0x0100);
    view()->edit(view()->currentIndex());
    auto* editor = view()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "3F");
    QTest::keyClick(editor, Qt::Key_Return);
    // The view commits an editor's data once back in the event loop.
    ASSERT_TRUE(edits.count() == 1 || edits.wait(5000));
    ASSERT_EQ(edits.count(), 1);
    EXPECT_EQ(edits.at(0).at(0).value<quint16>(), 0x0100);
    EXPECT_EQ(edits.at(0).at(1).value<quint8>(), 0x3F);
    EXPECT_EQ(cell(view(), 0x0100).data().toString(), QStringLiteral("3F"));

    // The character column takes a character; a cell refuses what is no byte.
    QAbstractItemModel* model = view()->model();
    EXPECT_TRUE(model->setData(cell(view(), 0x0101, true), QStringLiteral("\u00E9")));
    EXPECT_FALSE(model->setData(cell(view(), 0x0102), QStringLiteral("1FF")));
    ASSERT_EQ(edits.count(), 2);
    EXPECT_EQ(edits.at(1).at(1).value<quint8>(), 0xE9);

    // The chip's registers table writes the same memory.
    QAbstractItemModel* registers = pane.registersView()->model();
    EXPECT_TRUE(registers->setData(registers->index(4, 2), QStringLiteral("%10100101")));
    ASSERT_EQ(edits.count(), 3);
    EXPECT_EQ(edits.at(2).at(0).value<quint16>(), 0x1004);
    EXPECT_EQ(edits.at(2).at(1).value<quint8>(), 0xA5);

    pane.showSnapshot(*now, false);
    EXPECT_FALSE(model->flags(cell(view(), 0x0100)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->setData(cell(view(), 0x0100), QStringLiteral("00")));
    EXPECT_FALSE(registers->setData(registers->index(4, 2), QStringLiteral("00")));
    EXPECT_EQ(edits.count(), 3);
}

TEST_F(MemoryPaneTest, GoToAnAddressARegisterOrASymbol) {
    pane.setSymbols({{QStringLiteral("Debut"), 0xF800}, {QStringLiteral("TABLE"), 0x0120}});
    struct Case {
        const char* typed;
        quint16 address;
    } cases[] = {{"$B600", 0xB600}, {"debut", 0xF800}, {"TABLE+2", 0x0122}, {"scsr", 0x102E}};
    for (const auto& c : cases) {
        EXPECT_TRUE(pane.goTo(QString::fromUtf8(c.typed))) << c.typed;
        EXPECT_EQ(pane.currentAddress(), c.address) << c.typed;
        EXPECT_EQ(view()->currentIndex(), cell(view(), c.address)) << c.typed;
    }
    // Typed in the field, as a user does.
    auto* field = pane.findChild<QLineEdit*>(QStringLiteral("GoTo"));
    field->setText(QStringLiteral("PORTB"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(pane.currentAddress(), 0x1004);
    EXPECT_TRUE(pane.statusText().startsWith(QStringLiteral("$1004 PORTB = $00")));

    EXPECT_FALSE(pane.goTo(QStringLiteral("NULLEPART")));
    EXPECT_EQ(pane.statusText(), QStringLiteral("Adresse ou symbole inconnu : NULLEPART"));
    EXPECT_EQ(pane.currentAddress(), 0x1004);
}

TEST_F(MemoryPaneTest, TheChipRegistersAreNamedWhereInitPutThem) {
    EXPECT_TRUE(cell(view(), 0x1004).data(Qt::ToolTipRole).toString().contains(u"PORTB"));
    EXPECT_TRUE(cell(view(), 0x100F)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("TCNT (poids faible)")));
    EXPECT_TRUE(cell(view(), 0x1004).data(Qt::BackgroundRole).isValid());

    now->registerBase = 0x9000;
    now->memory[0x903F] = 0x0C;
    pane.showSnapshot(*now, true);
    EXPECT_FALSE(cell(view(), 0x1004).data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(cell(view(), 0x9004).data(Qt::ToolTipRole).toString().contains(u"PORTB"));
    QAbstractItemModel* registers = pane.registersView()->model();
    EXPECT_EQ(registers->index(0x3F, 0).data().toString(), QStringLiteral("$903F"));
    EXPECT_EQ(registers->index(0x3F, 1).data().toString(), QStringLiteral("CONFIG"));
    EXPECT_EQ(registers->index(0x3F, 2).data().toString(), QStringLiteral("$0C"));
    EXPECT_EQ(registers->index(0x3F, 3).data().toString(), QStringLiteral("0000 1100"));
    EXPECT_EQ(registers->index(0x01, 1).data().toString(), QStringLiteral("(réservé)"));
}

// The pane watches bytes in the window's model, and shows what the model
// holds, whoever changed it.
TEST_F(MemoryPaneTest, WatchedBytesAreTheModelsAndColouredThere) {
    pane.goToAddress(0x0050);
    pane.findChild<QAction*>(QStringLiteral("WatchWrite"))->trigger();
    pane.findChild<QAction*>(QStringLiteral("WatchRead"))->trigger();
    EXPECT_EQ(debug.watched(0x0050), sim11::Access::ReadWrite);

    const auto watched = [&](quint16 address) {
        return cell(view(), address).data(Qt::BackgroundRole) == QColor(0xFF, 0xD8, 0x90);
    };
    EXPECT_TRUE(watched(0x0050));
    EXPECT_TRUE(cell(view(), 0x0050).data(Qt::ToolTipRole).toString().endsWith(
        QStringLiteral(", surveillé en lecture et en écriture")));
    EXPECT_FALSE(watched(0x0051));
    pane.goToAddress(0x0060);
    pane.findChild<QAction*>(QStringLiteral("WatchWrite"))->trigger();
    EXPECT_EQ(debug.watched(0x0060), sim11::Access::Write);
    EXPECT_TRUE(pane.statusText().endsWith(QStringLiteral(", surveillé en écriture")));

    pane.findChild<QAction*>(QStringLiteral("Unwatch"))->trigger();
    EXPECT_EQ(debug.watched(0x0060), sim11::Access{});
    EXPECT_FALSE(watched(0x0060));
    EXPECT_TRUE(watched(0x0050));
    // Let go elsewhere: the pane follows the model.
    debug.unwatch(0x0050);
    EXPECT_FALSE(watched(0x0050));
    debug.watch(0x1004, sim11::Access::Read);
    EXPECT_TRUE(watched(0x1004));
    EXPECT_EQ(pane.registersView()->model()->index(4, 0).data(Qt::BackgroundRole),
              QColor(0xFF, 0xD8, 0x90));
    pane.findChild<QAction*>(QStringLiteral("UnwatchAll"))->trigger();
    EXPECT_FALSE(watched(0x1004));
    EXPECT_TRUE(debug.state().watchpoints.empty());
}

namespace {

class PortsPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
        pane.showSnapshot(*now, true);
    }
    std::unique_ptr<Snapshot> now = machine();
    PortsPane pane;
};

} // namespace

TEST_F(PortsPaneTest, LedsForOutputsSwitchesForInputs) {
    now->ports[1].pins = 0x81; // PB7 and PB0 lit
    now->ports[2].pins = 0x05; // PC0, PC2 driven high
    pane.showSnapshot(*now, true);
    EXPECT_TRUE(pane.pin(Port::B, 7)->isOutput());
    EXPECT_TRUE(pane.pin(Port::B, 7)->level());
    EXPECT_FALSE(pane.pin(Port::B, 6)->level());
    EXPECT_TRUE(pane.pin(Port::B, 0)->level());
    EXPECT_TRUE(pane.pin(Port::C, 3)->isOutput());
    EXPECT_TRUE(pane.pin(Port::C, 4)->isInput());
    EXPECT_EQ(pane.pin(Port::D, 6)->kind(), PinKind::Absent);
    EXPECT_FALSE(pane.pin(Port::D, 6)->isEnabled());
    EXPECT_TRUE(pane.pin(Port::B, 7)->changed());
    EXPECT_FALSE(pane.pin(Port::B, 6)->changed());

    // The program turns port C's high nibble to outputs.
    now->ports[2].outputs = 0xFF;
    pane.showSnapshot(*now, true);
    EXPECT_TRUE(pane.pin(Port::C, 7)->isOutput());
    EXPECT_FALSE(pane.pin(Port::B, 7)->changed());
}

TEST_F(PortsPaneTest, ASwitchThrownIsSentAtOnceEvenWhileRunning) {
    QSignalSpy inputs(&pane, &PortsPane::inputChanged);
    pane.showSnapshot(*now, false);
    QTest::mouseClick(pane.pin(Port::E, 3), Qt::LeftButton);
    QTest::mouseClick(pane.pin(Port::E, 0), Qt::LeftButton);
    ASSERT_EQ(inputs.count(), 2);
    EXPECT_EQ(inputs.at(0).at(0).value<Port>(), Port::E);
    EXPECT_EQ(inputs.at(0).at(1).value<quint8>(), 0x08);
    EXPECT_EQ(inputs.at(1).at(1).value<quint8>(), 0x09);
    EXPECT_TRUE(pane.pin(Port::E, 3)->level());
    // A snapshot taken before the machine took the input does not throw it back.
    pane.showSnapshot(*now, false);
    EXPECT_TRUE(pane.pin(Port::E, 3)->level());
    // A LED is not the user's.
    QTest::mouseClick(pane.pin(Port::B, 0), Qt::LeftButton);
    EXPECT_EQ(inputs.count(), 2);
}

TEST_F(PortsPaneTest, AnalogInputsInVolts) {
    QSignalSpy analog(&pane, &PortsPane::analogChanged);
    pane.analogVolts(2)->setValue(2.5);
    ASSERT_EQ(analog.count(), 1);
    EXPECT_EQ(analog.at(0).at(0).toInt(), 2);
    EXPECT_EQ(analog.at(0).at(1).value<quint8>(), 128);
    EXPECT_EQ(pane.analogSlider(2)->value(), 128);
    EXPECT_EQ(pane.analogVolts(2)->text(), QStringLiteral("2,51 V"));

    pane.analogSlider(5)->setValue(255);
    ASSERT_EQ(analog.count(), 2);
    EXPECT_DOUBLE_EQ(pane.analogVolts(5)->value(), 5.0);

    // The machine's own values are shown, not sent back.
    now->analog[7] = 51;
    pane.showSnapshot(*now, true);
    EXPECT_EQ(pane.analogSlider(7)->value(), 51);
    EXPECT_EQ(pane.analogVolts(7)->text(), QStringLiteral("1,00 V"));
    EXPECT_EQ(analog.count(), 2);
}

TEST_F(PortsPaneTest, InterruptLinesAndReset) {
    QSignalSpy irq(&pane, &PortsPane::irqChanged);
    QSignalSpy xirq(&pane, &PortsPane::xirqChanged);
    QSignalSpy reset(&pane, &PortsPane::resetPressed);
    QTest::mousePress(pane.irqButton(), Qt::LeftButton);
    ASSERT_EQ(irq.count(), 1);
    EXPECT_TRUE(irq.at(0).at(0).toBool());
    QTest::mouseRelease(pane.irqButton(), Qt::LeftButton);
    ASSERT_EQ(irq.count(), 2);
    EXPECT_FALSE(irq.at(1).at(0).toBool());
    QTest::mouseClick(pane.xirqButton(), Qt::LeftButton);
    EXPECT_EQ(xirq.count(), 2);
    QTest::mouseClick(pane.resetButton(), Qt::LeftButton);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(irq.count(), 2);
}
