#include "simulation/simulation_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QThread>
#include <QToolBar>
#include <QVBoxLayout>
#include <functional>

#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include "common/hex_text.h"
#include "simulation/board_choice.h"
#include "simulation/board_pane.h"
#include "simulation/debug_model.h"
#include "simulation/lab.h"
#include "simulation/memory_format.h"
#include "simulation/memory_pane.h"
#include "simulation/ports_pane.h"
#include "simulation/registers_pane.h"
#include "simulation/simulation_texts.h"
#include "simulation/source_pane.h"
#include "simulation/timing_pane.h"
#include "terminal/terminal_widget.h"
#include "workspace/message_boxes.h"
#include "workspace/workspace.h"

namespace kavrel::simulation {

namespace {

QString tr8(const char* text) {
    return QString::fromUtf8(text);
}

QString hex4(std::uint16_t value) {
    return QString::fromStdString(hex::digits(value, 4));
}

// The board combo lists the user's folder again each time it opens: a
// board file saved meanwhile is there.
class BoardCombo final : public QComboBox {
public:
    std::function<void()> beforePopup;
    void showPopup() override {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};

constexpr const char* kDefaultBoard = "chip";
// On a board: how long the memory pane rests before its rows are read, and
// how many it shows before it is laid out.
constexpr int kShownMemoryDelayMs = 150;
constexpr int kShownRowsAtFirst = 16;
constexpr const char* kEvaluationBoard = "evb";

} // namespace

SimulationWindow::SimulationWindow(Workspace& workspace, std::shared_ptr<const Program> program)
    : workspace_(workspace), program_(std::move(program)), thread_(new QThread(this)),
      controller_(nullptr), debug_(new DebugModel(this)) {
    simulator_ = new Controller;
    controller_ = simulator_;
    setWindowTitle(tr8(texts::kWindowTitleStart) + sourcePath());
    controller_->moveToThread(thread_);
    thread_->setObjectName(QStringLiteral("Simulation"));
    start();
    thread_->start();

    // The chip alone until another board is chosen.
    QString error;
    const std::optional<lab::BoardDescription> description =
        readBoard(QLatin1String(kDefaultBoard), error);
    if (!description || !takeBoard(QLatin1String(kDefaultBoard), *description, false))
        load();
    updateActions();
}

SimulationWindow::SimulationWindow(Workspace& workspace, std::shared_ptr<const Program> program,
                                   QThread* thread, Target* target, const BoardTargetInfo& info)
    : workspace_(workspace), program_(std::move(program)), thread_(thread), controller_(target),
      boardInfo_(info), debug_(new DebugModel(this)) {
    thread_->setParent(this);
    setWindowTitle(tr8(texts::kBoardTitleStart) + sourcePath() + QStringLiteral(" (") + info.port +
                   QStringLiteral(")"));
    choice_.chip = info.chip;
    choice_.mode = sim11::Mode::Bootstrap;
    start();
    showBoardTarget();
    sendDebugState();
    // The memory pane's rows are read from the board as they come into view.
    auto* scrolled = new QTimer(this);
    scrolled->setSingleShot(true);
    scrolled->setInterval(kShownMemoryDelayMs);
    connect(scrolled, &QTimer::timeout, this, &SimulationWindow::sendShownMemory);
    QScrollBar* rows = memory_->memoryView()->verticalScrollBar();
    connect(rows, &QScrollBar::valueChanged, scrolled, qOverload<>(&QTimer::start));
    // A pane made taller shows more rows.
    connect(rows, &QScrollBar::rangeChanged, scrolled, qOverload<>(&QTimer::start));
    sendShownMemory();
    // The board as it is now: its registers and memory read back.
    post([c = controller_] { c->refresh(); });
    updateActions();
}

void SimulationWindow::sendShownMemory() {
    const QTableView* view = memory_->memoryView();
    const int rows = view->model() ? view->model()->rowCount() : 0;
    int top = view->rowAt(0);
    int bottom = view->rowAt(view->viewport()->height() - 1);
    if (top < 0) {
        // Not laid out yet: the rows it will show first.
        top = view->verticalScrollBar()->value();
        bottom = top + kShownRowsAtFirst - 1;
    }
    if (bottom < 0)
        bottom = rows - 1;
    bottom = std::min(bottom, std::max(rows - 1, top));
    const int first = top * kBytesPerRow;
    const int count = std::min((bottom - top + 1) * kBytesPerRow, 0x10000 - first);
    std::vector<MemorySpan> spans{
        {static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(count)}};
    post([c = controller_, spans] { c->setShownMemory(spans); });
}

// What both kinds of window do first.
void SimulationWindow::start() {
    setObjectName(QStringLiteral("SimulationWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    connect(controller_, &Target::updated, this, &SimulationWindow::apply);
    connect(controller_, &Target::chipProgrammed, this, [this](bool ok, const QString& message) {
        state_->setText(message);
        emit chipProgrammed(ok, message);
    });
    connect(controller_, &Target::chipProgress, this, &SimulationWindow::chipProgress);
    connect(controller_, &Target::configRead, this, &SimulationWindow::configRead);
    buildPanes();
    buildActions();
    showProgram();
    target_->setText(targetText());
}

SimulationWindow::~SimulationWindow() {
    controller_->abandon();
    Target* controller = controller_;
    // Deleted on its own thread, between two slices of a run.
    QMetaObject::invokeMethod(
        controller, [controller] { delete controller; }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

void SimulationWindow::closeEvent(QCloseEvent* event) {
    controller_->requestStop();
    QMdiSubWindow::closeEvent(event);
}

QString SimulationWindow::sourcePath() const {
    return QDir::toNativeSeparators(QString::fromStdString(program_->sourcePath()));
}

void SimulationWindow::buildPanes() {
    auto* body = new QWidget;
    body->setObjectName(QStringLiteral("SimulationBody"));
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolbar_ = new QToolBar(tr8(texts::kToolbarName));
    toolbar_->setObjectName(QStringLiteral("SimulationToolbar"));
    layout->addWidget(toolbar_);
    // The machine's choice on a row of its own: on the commands' row it went
    // behind the overflow button of a window as narrow as the workspace.
    machineBar_ = new QToolBar(tr8(texts::kMachineToolbarName));
    machineBar_->setObjectName(QStringLiteral("SimulationMachineBar"));
    layout->addWidget(machineBar_);

    source_ = new SourcePane(*debug_);
    registers_ = new RegistersPane;
    memory_ = new MemoryPane(*debug_);
    ports_ = new PortsPane;
    terminal_ = new terminal::TerminalWidget;
    terminal_->setObjectName(QStringLiteral("SimulationTerminal"));
    terminal_->setAccessibleName(tr8(texts::kTerminalPane));

    boardPane_ = new BoardPane;
    timing_ = new TimingPane;

    // Source on the left; the registers on the right above the board and
    // the ports, in tabs; memory below, beside the terminal and the timing
    // view. Every pane gives way to a small screen rather than push the
    // others out of sight.
    auto* top = new QSplitter(Qt::Horizontal);
    top->setObjectName(QStringLiteral("TopSplitter"));
    top->addWidget(source_);
    auto* right = new QSplitter(Qt::Vertical);
    right->setObjectName(QStringLiteral("MachineSplitter"));
    // The registers scroll rather than take the board's room.
    auto* registers = new QScrollArea;
    registers->setObjectName(QStringLiteral("RegistersScroll"));
    registers->setWidgetResizable(true);
    registers->setFrameShape(QFrame::NoFrame);
    registers->setWidget(registers_);
    right->addWidget(registers);
    machineTabs_ = new QTabWidget;
    machineTabs_->setObjectName(QStringLiteral("MachineTabs"));
    machineTabs_->setDocumentMode(true);
    auto* board = new QScrollArea;
    board->setObjectName(QStringLiteral("BoardScroll"));
    board->setWidgetResizable(true);
    board->setFrameShape(QFrame::NoFrame);
    board->setWidget(boardPane_);
    machineTabs_->addTab(board, tr8(texts::kBoardTab));
    // The ports and their eight sliders are taller than a small screen
    // leaves them: they scroll.
    auto* machine = new QScrollArea;
    machine->setObjectName(QStringLiteral("MachineScroll"));
    machine->setWidgetResizable(true);
    machine->setFrameShape(QFrame::NoFrame);
    machine->setWidget(ports_);
    machineTabs_->addTab(machine, tr8(texts::kPortsTab));
    right->addWidget(machineTabs_);
    right->setStretchFactor(0, 0);
    right->setStretchFactor(1, 1);
    machineSplitter_ = right;
    top->addWidget(right);
    top->setStretchFactor(0, 3);
    top->setStretchFactor(1, 2);
    bottomTabs_ = new QTabWidget;
    bottomTabs_->setObjectName(QStringLiteral("BottomTabs"));
    bottomTabs_->setDocumentMode(true);
    bottomTabs_->addTab(terminal_, tr8(texts::kTerminalPane));
    bottomTabs_->addTab(timing_, tr8(texts::kTimingTab));
    auto* bottom = new QSplitter(Qt::Horizontal);
    bottom->setObjectName(QStringLiteral("BottomSplitter"));
    bottom->addWidget(memory_);
    bottom->addWidget(bottomTabs_);
    auto* all = new QSplitter(Qt::Vertical);
    all->setObjectName(QStringLiteral("PaneSplitter"));
    all->addWidget(top);
    all->addWidget(bottom);
    all->setStretchFactor(0, 3);
    all->setStretchFactor(1, 2);
    layout->addWidget(all, 1);

    state_ = new QLabel;
    state_->setObjectName(QStringLiteral("SimulationState"));
    state_->setWordWrap(true);
    state_->setTextFormat(Qt::PlainText);
    state_->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(state_);

    setWidget(body);
    setFocusProxy(source_);
    body->setFocusProxy(source_);

    connect(debug_, &DebugModel::breakpointsChanged, this, &SimulationWindow::sendDebugState);
    connect(debug_, &DebugModel::watchpointsChanged, this, &SimulationWindow::sendDebugState);
    // What is typed reaches the receiver at the wire's pace, whether running or not.
    connect(
        terminal_, &terminal::TerminalWidget::bytesTyped, this,
        [this](const QByteArray& bytes) { post([c = controller_, bytes] { c->type(bytes); }); });
    connect(memory_, &MemoryPane::byteEdited, this, [this](quint16 address, quint8 value) {
        post([c = controller_, address, value] { c->writeMemory(address, value); });
    });
    // The pins are a board's: they move while the program runs too.
    connect(ports_, &PortsPane::inputChanged, this, [this](Port port, quint8 levels) {
        post([c = controller_, port, levels] { c->setPortInputs(port, levels); });
    });
    connect(ports_, &PortsPane::analogChanged, this, [this](int channel, quint8 value) {
        post([c = controller_, channel, value] { c->setAnalog(channel, value); });
    });
    connect(ports_, &PortsPane::irqChanged, this,
            [this](bool asserted) { post([c = controller_, asserted] { c->setIrq(asserted); }); });
    connect(ports_, &PortsPane::xirqChanged, this,
            [this](bool asserted) { post([c = controller_, asserted] { c->setXirq(asserted); }); });
    connect(ports_, &PortsPane::resetPressed, this,
            [this] { post([c = controller_] { c->pinReset(); }); });
    connect(registers_, &RegistersPane::registersEdited, this, [this](const sim11::Registers& r) {
        post([c = controller_, r] { c->setRegisters(r); });
    });
    // The board's own inputs, held as long as the user holds them.
    connect(boardPane_, &BoardPane::keyChanged, this, [this](int keypad, int key, bool down) {
        post([c = controller_, keypad, key, down] { c->pressKey(keypad, key, down); });
    });
    connect(boardPane_, &BoardPane::buttonChanged, this, [this](int button, bool down) {
        post([c = controller_, button, down] { c->pressButton(button, down); });
    });
    connect(boardPane_, &BoardPane::potChanged, this, [this](int pot, double volts) {
        post([c = controller_, pot, volts] { c->setPot(pot, volts); });
    });
}

void SimulationWindow::buildActions() {
    QWidget* body = widget();
    struct Item {
        QAction** action;
        const char* text;
        const char* name;
        QKeySequence key;
        void (SimulationWindow::*command)();
    };
    const Item items[] = {
        {&reset_, texts::kReset, "SimReset", {}, &SimulationWindow::resetMachine},
        {&step_, texts::kStep, "SimStep", QKeySequence(Qt::Key_F11), &SimulationWindow::stepInto},
        {&stepOver_, texts::kStepOver, "SimStepOver", QKeySequence(Qt::Key_F10),
         &SimulationWindow::stepOver},
        {&stepOut_, texts::kStepOut, "SimStepOut", QKeySequence(Qt::SHIFT | Qt::Key_F11),
         &SimulationWindow::stepOut},
        {&run_, texts::kRun, "SimRun", QKeySequence(Qt::Key_F5), &SimulationWindow::run},
        {&runToCursor_, texts::kRunToCursor, "SimRunToCursor", {}, &SimulationWindow::runToCursor},
        {&stop_, texts::kStop, "SimStop", QKeySequence(Qt::SHIFT | Qt::Key_F5),
         &SimulationWindow::stop},
    };
    for (const Item& item : items) {
        auto* action = new QAction(tr8(item.text), this);
        action->setObjectName(QLatin1String(item.name));
        if (!item.key.isEmpty()) {
            action->setShortcut(item.key);
            // Only in this window: the editors keep their keys.
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            action->setToolTip(tr8(item.text) + QStringLiteral(" (") +
                               item.key.toString(QKeySequence::NativeText) + QStringLiteral(")"));
        }
        connect(action, &QAction::triggered, this, item.command);
        toolbar_->addAction(action);
        body->addAction(action);
        *item.action = action;
    }
    realTime_ = new QAction(tr8(texts::kRealTime), this);
    realTime_->setObjectName(QStringLiteral("SimRealTime"));
    realTime_->setCheckable(true);
    connect(realTime_, &QAction::toggled, this, &SimulationWindow::setRealTime);
    toolbar_->addAction(realTime_);

    breakpoint_ = new QAction(tr8(texts::kToggleBreakpoint), this);
    breakpoint_->setObjectName(QStringLiteral("SimBreakpoint"));
    breakpoint_->setShortcut(QKeySequence(Qt::Key_F9));
    breakpoint_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(breakpoint_, &QAction::triggered, this,
            [this] { source_->toggleBreakpointAtCursor(); });
    body->addAction(breakpoint_);

    // The machine: chip, mode, board, for this window only.
    chip_ = new QComboBox;
    chip_->setObjectName(QStringLiteral("SimChip"));
    chip_->setAccessibleName(tr8(texts::kChipLabel));
    chip_->addItem(QStringLiteral("68HC11A1"), static_cast<int>(sim11::Chip::A1));
    chip_->addItem(QStringLiteral("68HC11E1"), static_cast<int>(sim11::Chip::E1));
    chip_->addItem(QStringLiteral("68HC11E9"), static_cast<int>(sim11::Chip::E9));
    chip_->setCurrentIndex(2);
    mode_ = new QComboBox;
    mode_->setObjectName(QStringLiteral("SimMode"));
    mode_->setAccessibleName(tr8(texts::kModeLabel));
    mode_->addItem(tr8(texts::kModeSingleChip), static_cast<int>(sim11::Mode::SingleChip));
    mode_->addItem(tr8(texts::kModeExpanded), static_cast<int>(sim11::Mode::Expanded));
    mode_->addItem(tr8(texts::kModeBootstrap), static_cast<int>(sim11::Mode::Bootstrap));
    auto* boards = new BoardCombo;
    boards->beforePopup = [this] { refreshBoards(); };
    board_ = boards;
    board_->setObjectName(QStringLiteral("SimBoard"));
    board_->setAccessibleName(tr8(texts::kBoardLabel));
    // On its own row, the board's whole name fits.
    board_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    refreshBoards();
    target_ = new QLabel;
    target_->setObjectName(QStringLiteral("SimTarget"));
    target_->setContentsMargins(4, 0, 8, 0);
    machineBar_->addWidget(target_);
    machineBar_->addWidget(new QLabel(tr8(texts::kChipLabel)));
    machineBar_->addWidget(chip_);
    machineBar_->addWidget(new QLabel(tr8(texts::kModeLabel)));
    machineBar_->addWidget(mode_);
    machineBar_->addWidget(new QLabel(tr8(texts::kBoardLabel)));
    machineBar_->addWidget(board_);
    auto chosen = [this] {
        MachineChoice choice = choice_;
        choice.chip = static_cast<sim11::Chip>(chip_->currentData().toInt());
        choice.mode = static_cast<sim11::Mode>(mode_->currentData().toInt());
        setMachine(choice);
    };
    for (QComboBox* box : {chip_, mode_})
        connect(box, &QComboBox::activated, this, chosen);
    connect(board_, &QComboBox::activated, this, [this](int index) {
        const QString key = board_->itemData(index).toString();
        if (key != boardKey_ || !isShippedBoard(key))
            selectBoard(key);
    });
}

QString SimulationWindow::targetText() const {
    if (drivesBoard())
        return tr8(texts::kTargetBoard).arg(boardInfo_.description);
    return tr8(texts::kTargetSimulator);
}

void SimulationWindow::showBoardTarget() {
    // Chip, mode and lab board are the simulator's: the board has its own.
    for (QAction* action : machineBar_->actions())
        if (machineBar_->widgetForAction(action) != target_)
            action->setVisible(false);
    realTime_->setVisible(false);
    realTime_->setEnabled(false);
    // The lab board and the timing view only exist in the simulator.
    machineTabs_->removeTab(0);
    bottomTabs_->removeTab(1);
    boardPane_->hide();
    timing_->hide();
    registers_->setClockNote(tr8(texts::kNoCycleCount), tr8(texts::kNoSimulatedTime));
    ports_->setReadBack(true);
    target_->setToolTip(tr8(texts::kBoardDifferences));
    // The talker takes every byte the board receives: one typed would stop the
    // program, or be taken for a command. The terminal only shows what it sends.
    terminal_->setInputEnabled(false, tr8(texts::kBoardTerminalReadOnly));
    // The talker stops a program at breakpoints only.
    connect(debug_, &DebugModel::watchpointsChanged, this, [this] {
        if (!debug_->state().watchpoints.empty())
            state_->setText(tr8(texts::kNoWatchOnBoard));
    });
}

void SimulationWindow::programEeprom(std::uint16_t address, QByteArray bytes) {
    if (running_) {
        emit chipProgrammed(false, tr8(texts::kChipBusyRunning));
        return;
    }
    post([c = controller_, address, bytes] { c->programEeprom(address, bytes); });
}

void SimulationWindow::programConfig(std::uint8_t value) {
    if (running_) {
        emit chipProgrammed(false, tr8(texts::kChipBusyRunning));
        return;
    }
    post([c = controller_, value] { c->programConfig(value); });
}

void SimulationWindow::readConfig() {
    post([c = controller_] { c->readConfig(); });
}

void SimulationWindow::refreshBoards() {
    const QSignalBlocker blocker(board_);
    board_->clear();
    for (const BoardEntry& entry : availableBoards()) {
        board_->addItem(entry.name, entry.key);
        board_->setItemData(board_->count() - 1, entry.toolTip, Qt::ToolTipRole);
    }
    showBoardChoice();
}

// The combo on the window's board (a board file no longer listed is shown
// by its name all the same).
void SimulationWindow::showBoardChoice() {
    if (!board_ || boardKey_.isEmpty())
        return;
    const QSignalBlocker blocker(board_);
    int index = board_->findData(boardKey_);
    if (index < 0) {
        board_->addItem(boardName_, boardKey_);
        index = board_->count() - 1;
        board_->setItemData(index, boardKey_, Qt::ToolTipRole);
    }
    // A file read again may have been renamed inside.
    if (!boardName_.isEmpty())
        board_->setItemText(index, boardName_);
    board_->setCurrentIndex(index);
    board_->setToolTip(board_->itemData(index, Qt::ToolTipRole).toString());
}

bool SimulationWindow::selectBoard(const QString& key) {
    QString error;
    const std::optional<lab::BoardDescription> description = readBoard(key, error);
    if (!description) {
        tellBoardError(key, error);
        return false;
    }
    return takeBoard(key, *description, true);
}

bool SimulationWindow::takeBoard(const QString& key, const lab::BoardDescription& description,
                                 bool followChip) {
    std::string why;
    std::shared_ptr<lab::LabBoard> board = lab::LabBoard::create(description, why);
    if (!board) {
        tellBoardError(key, QString::fromStdString(why));
        return false;
    }
    boardKey_ = key;
    boardName_ = QString::fromStdString(description.name);
    // The chip and mode the board names; the wiring is the board's own.
    const sim11::Setup setup = board->setup({choice_.chip, choice_.mode, choice_.board});
    if (followChip) {
        choice_.chip = setup.chip;
        choice_.mode = setup.mode;
    }
    choice_.board = setup.board;
    if (chip_) {
        chip_->setCurrentIndex(chip_->findData(static_cast<int>(choice_.chip)));
        mode_->setCurrentIndex(mode_->findData(static_cast<int>(choice_.mode)));
    }
    showBoardChoice();
    QStringList recorded;
    for (const lab::Pin& pin : description.recorded)
        recorded << QString::fromStdString(pin.name());
    timing_->setSignals(recorded);
    boardPane_->clear();
    load(std::move(board));
    return true;
}

void SimulationWindow::tellBoardError(const QString& key, const QString& error) {
    const QString file =
        isShippedBoard(key) ? key + QStringLiteral(".toml") : QFileInfo(key).fileName();
    QString text = tr8(texts::kBoardError).arg(file) + QStringLiteral("\r\n") + error;
    if (!boardName_.isEmpty())
        text += QStringLiteral("\r\n") + tr8(texts::kBoardKept).arg(boardName_);
    workspace_.messages().show(workspace_.window(), tr8(texts::kBoardErrorTitle), text,
                               app::BoxIcon::Warning, app::BoxButtons::Ok);
    // The combo back on the board the window has.
    showBoardChoice();
}

void SimulationWindow::sendDebugState() {
    post([c = controller_, state = debug_->state()] { c->setDebugState(state); });
}

void SimulationWindow::showProgram() {
    debug_->setProgram(program_);
    source_->setProgram(program_);
    QMap<QString, quint16> symbols;
    for (const asmhc11::Symbol& symbol : program_->result().symbols)
        if (symbol.value)
            symbols.insert(QString::fromStdString(symbol.name),
                           static_cast<quint16>(*symbol.value));
    memory_->setSymbols(symbols);
}

void SimulationWindow::load(std::shared_ptr<lab::LabBoard> board) {
    if (!simulator_)
        return;
    controller_->requestStop();
    post([c = simulator_, choice = choice_, program = program_, state = debug_->state(),
          realTime = realTime_ ? realTime_->isChecked() : false, board = std::move(board)] {
        c->setRealTime(realTime);
        c->setDebugState(state);
        c->load(choice, program, board);
    });
}

void SimulationWindow::reload(std::shared_ptr<const Program> program) {
    program_ = std::move(program);
    setWindowTitle(tr8(texts::kWindowTitleStart) + sourcePath());
    showProgram();
    load();
    // Said when the new image is in, in place of the reset's own words.
    pendingState_ = tr8(texts::kReloaded);
}

void SimulationWindow::setMachine(MachineChoice choice) {
    choice_.chip = choice.chip;
    choice_.mode = choice.mode;
    chip_->setCurrentIndex(chip_->findData(static_cast<int>(choice.chip)));
    mode_->setCurrentIndex(mode_->findData(static_cast<int>(choice.mode)));
    // Another wiring is another board: the shipped one that has it.
    if (choice.board != choice_.board) {
        const QString key =
            QLatin1String(choice.board == Board::Evb ? kEvaluationBoard : kDefaultBoard);
        QString error;
        if (const std::optional<lab::BoardDescription> description = readBoard(key, error))
            if (takeBoard(key, *description, false))
                return;
    }
    load();
}

void SimulationWindow::showBoardTab() {
    machineTabs_->setCurrentIndex(0);
}

void SimulationWindow::showPortsTab() {
    machineTabs_->setCurrentIndex(1);
}

void SimulationWindow::showTimingTab() {
    bottomTabs_->setCurrentIndex(1);
}

void SimulationWindow::fitInWorkspace() {
    QMdiArea* area = mdiArea();
    QWidget* main = workspace_.window();
    if (!area || !main)
        return;
    // What the window needs to show its panes readably, at most the screen.
    const QSize wanted(900, 640);
    QScreen* screen = main->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize viewport = area->viewport()->size();
    const QSize frame = main->frameGeometry().size() - main->size();
    const int extraW = std::max(0, wanted.width() - viewport.width());
    const int extraH = std::max(0, wanted.height() - viewport.height());
    if ((extraW > 0 || extraH > 0) && !main->isMaximized() && !main->isFullScreen()) {
        const QSize grown(std::min(main->width() + extraW, available.width() - frame.width()),
                          std::min(main->height() + extraH, available.height() - frame.height()));
        const QSize size = grown.expandedTo(main->size().boundedTo(available.size() - frame));
        main->resize(size);
        // Kept on the screen: moved back where it would now stand out of it.
        // From the size asked for: under a window manager the frame takes
        // the new size only later.
        QRect outer(main->frameGeometry().topLeft(), size + frame);
        if (outer.right() > available.right())
            outer.moveRight(available.right());
        if (outer.bottom() > available.bottom())
            outer.moveBottom(available.bottom());
        if (outer.left() < available.left())
            outer.moveLeft(available.left());
        if (outer.top() < available.top())
            outer.moveTop(available.top());
        main->move(outer.topLeft());
        // The layout of the main window follows at once, not at the next
        // event loop's turn: the workspace is then its new size.
        if (main->layout())
            main->layout()->activate();
    }
    // The whole of it in the workspace's visible part.
    setMinimumSize(0, 0);
    if (widget())
        widget()->setMinimumSize(0, 0);
    setGeometry(QRect(QPoint(0, 0), area->viewport()->size()));
    // The registers whole where the column leaves them room, the board below.
    if (widget() && widget()->layout())
        widget()->layout()->activate();
    const int column = machineSplitter_->height();
    const int registers = std::min(registers_->sizeHint().height() + 4, column * 45 / 100);
    machineSplitter_->setSizes({registers, std::max(0, column - registers)});
}

void SimulationWindow::resetMachine() {
    controller_->requestStop();
    post([c = controller_] { c->reset(); });
}

void SimulationWindow::startRunning() {
    running_ = true;
    updateActions();
    emit stateChanged();
}

void SimulationWindow::stepInto() {
    if (running_)
        return;
    // On a board a step is a round trip on the line: the window waits for it.
    if (drivesBoard())
        startRunning();
    post([c = controller_] { c->step(); });
}

void SimulationWindow::stepOver() {
    if (running_)
        return;
    startRunning();
    post([c = controller_] { c->stepOver(); });
}

void SimulationWindow::stepOut() {
    if (running_)
        return;
    startRunning();
    post([c = controller_] { c->stepOut(); });
}

void SimulationWindow::run() {
    if (running_)
        return;
    startRunning();
    post([c = controller_] { c->run(); });
}

void SimulationWindow::runToCursor() {
    if (running_)
        return;
    const auto address = source_->cursorAddress();
    if (!address) {
        state_->setText(tr8(texts::kNoLineAtCursor));
        return;
    }
    startRunning();
    post([c = controller_, a = *address] { c->runTo(a); });
}

void SimulationWindow::stop() {
    // At once within a slice; and in order, should the run not have started yet.
    controller_->requestStop();
    post([c = controller_] { c->halt(); });
}

void SimulationWindow::setRealTime(bool on) {
    // A board runs in its own time.
    if (drivesBoard())
        return;
    if (realTime_->isChecked() != on)
        realTime_->setChecked(on); // comes back here through toggled
    if (simulator_)
        post([c = simulator_, on] { c->setRealTime(on); });
    if (running_)
        state_->setText(tr8(on ? texts::kStateRunningRealTime : texts::kStateRunning));
    emit stateChanged();
}

bool SimulationWindow::realTime() const {
    return realTime_->isChecked();
}

QString SimulationWindow::stateText() const {
    return state_->text();
}

QString SimulationWindow::reasonText(const Update& update) {
    switch (update.reason) {
    case StopReason::None:
        return tr8(texts::kStateStopped);
    case StopReason::Loaded:
        return update.message.empty() ? tr8(texts::kResetDone)
                                      : QString::fromStdString(update.message);
    case StopReason::Step:
    case StopReason::StepOver:
        return tr8(texts::kStoppedStep);
    case StopReason::StepOut:
        return tr8(texts::kStoppedReturned);
    case StopReason::Cursor:
        return tr8(texts::kStoppedCursor);
    case StopReason::Breakpoint:
        return tr8(texts::kStoppedAtBreakpoint);
    case StopReason::Watchpoint:
        return tr8(texts::kStoppedWatchpoint).arg(hex4(update.where));
    case StopReason::User:
        return tr8(texts::kStoppedByUser);
    case StopReason::StopInstruction:
        return tr8(texts::kStoppedOnStop);
    case StopReason::IllegalOpcode:
        return tr8(texts::kIllegalOpcode).arg(hex4(update.where));
    case StopReason::CopReset:
        return tr8(texts::kCopReset);
    case StopReason::LoadFailed:
        return tr8(texts::kLoadFailed) + QString::fromStdString(update.message);
    case StopReason::Swi:
        return tr8(texts::kStoppedOnSwi);
    case StopReason::TargetFault:
        return QString::fromStdString(update.message);
    }
    return {};
}

void SimulationWindow::apply(const Update& update) {
    const bool wasRunning = running_;
    // What the target sent before it took the command the window waits for
    // (an input or a row of memory read while stopped) ends nothing: the
    // command's own answer follows.
    if (wasRunning && !update.running && update.reason == StopReason::None) {
        if (!update.transmitted.isEmpty())
            terminal_->appendReceived(update.transmitted);
        return;
    }
    snapshot_ = update.snapshot;
    running_ = update.running;
    const bool stopped = !update.running;
    if (!update.transmitted.isEmpty())
        terminal_->appendReceived(update.transmitted);
    if (stopped)
        terminal_->flush();
    source_->showSnapshot(*snapshot_, stopped);
    // An input or an edit while stopped is no new stop: the registers keep
    // the marks of the last one.
    if (!(stopped && update.reason == StopReason::None && !wasRunning))
        registers_->showSnapshot(*snapshot_, stopped);
    memory_->showSnapshot(*snapshot_, stopped);
    if (update.refusedWrite) {
        if (update.refusedWhy.empty())
            memory_->tellRefused(*update.refusedWrite);
        else
            memory_->tellRefused(*update.refusedWrite, QString::fromStdString(update.refusedWhy));
    }
    ports_->showSnapshot(*snapshot_, stopped);
    if (update.reason == StopReason::Loaded)
        timing_->clear();
    if (update.recorded)
        timing_->append(*update.recorded, update.eClock);
    if (update.board)
        boardPane_->showView(*update.board);
    // What a run could not do (a board that cannot be stopped) stays said while it runs.
    if (update.running && !update.message.empty())
        runningNote_ = QString::fromStdString(update.message);
    else if (!update.running)
        runningNote_.clear();
    if (update.running && !runningNote_.isEmpty()) {
        state_->setText(runningNote_);
        post([c = controller_] { c->updateTaken(); });
    } else if (update.running) {
        state_->setText(tr8(realTime() ? texts::kStateRunningRealTime : texts::kStateRunning));
        post([c = controller_] { c->updateTaken(); });
    } else if (update.reason == StopReason::Loaded && !pendingState_.isEmpty()) {
        state_->setText(pendingState_);
        pendingState_.clear();
    } else if (update.reason != StopReason::None || wasRunning) {
        state_->setText(reasonText(update));
    }
    if (wasRunning != running_) {
        updateActions();
        emit stateChanged();
    }
    emit shown(update.running);
}

void SimulationWindow::updateActions() {
    for (QAction* action : {reset_, step_, stepOver_, stepOut_, run_, runToCursor_})
        action->setEnabled(!running_ || action == reset_);
    stop_->setEnabled(running_);
}

} // namespace kavrel::simulation
