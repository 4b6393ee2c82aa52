#include "simulation/simulation_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QScrollArea>
#include <QSplitter>
#include <QThread>
#include <QToolBar>
#include <QVBoxLayout>

#include "common/hex_text.h"
#include "simulation/debug_model.h"
#include "simulation/memory_pane.h"
#include "simulation/ports_pane.h"
#include "simulation/registers_pane.h"
#include "simulation/simulation_texts.h"
#include "simulation/source_pane.h"
#include "terminal/terminal_widget.h"
#include "workspace/workspace.h"

namespace kavrel::simulation {

namespace {

QString tr8(const char* text) {
    return QString::fromUtf8(text);
}

QString hex4(std::uint16_t value) {
    return QString::fromStdString(hex::digits(value, 4));
}

} // namespace

SimulationWindow::SimulationWindow(Workspace& workspace, std::shared_ptr<const Program> program)
    : workspace_(workspace), program_(std::move(program)), thread_(new QThread(this)),
      controller_(new Controller), debug_(new DebugModel(this)) {
    setObjectName(QStringLiteral("SimulationWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr8(texts::kWindowTitleStart) + sourcePath());

    controller_->moveToThread(thread_);
    connect(controller_, &Controller::updated, this, &SimulationWindow::apply);
    thread_->setObjectName(QStringLiteral("Simulation"));
    thread_->start();

    buildPanes();
    buildActions();
    showProgram();
    load();
    updateActions();
}

SimulationWindow::~SimulationWindow() {
    controller_->requestStop();
    Controller* controller = controller_;
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

    source_ = new SourcePane(*debug_);
    registers_ = new RegistersPane;
    memory_ = new MemoryPane(*debug_);
    ports_ = new PortsPane;
    terminal_ = new terminal::TerminalWidget;
    terminal_->setObjectName(QStringLiteral("SimulationTerminal"));
    terminal_->setAccessibleName(tr8(texts::kTerminalPane));

    // Source on the left, the machine on the right; memory and terminal below.
    auto* right = new QSplitter(Qt::Vertical);
    right->setObjectName(QStringLiteral("MachineSplitter"));
    right->addWidget(registers_);
    right->addWidget(ports_);
    auto* top = new QSplitter(Qt::Horizontal);
    top->setObjectName(QStringLiteral("TopSplitter"));
    top->addWidget(source_);
    // The ports and their eight sliders are taller than a small screen
    // leaves them: they scroll rather than push the memory and the
    // terminal out of sight.
    auto* machine = new QScrollArea;
    machine->setObjectName(QStringLiteral("MachineScroll"));
    machine->setWidgetResizable(true);
    machine->setFrameShape(QFrame::NoFrame);
    machine->setWidget(right);
    top->addWidget(machine);
    top->setStretchFactor(0, 3);
    top->setStretchFactor(1, 2);
    auto* bottom = new QSplitter(Qt::Horizontal);
    bottom->setObjectName(QStringLiteral("BottomSplitter"));
    bottom->addWidget(memory_);
    bottom->addWidget(terminal_);
    auto* all = new QSplitter(Qt::Vertical);
    all->setObjectName(QStringLiteral("PaneSplitter"));
    all->addWidget(top);
    all->addWidget(bottom);
    all->setStretchFactor(0, 3);
    all->setStretchFactor(1, 2);
    layout->addWidget(all, 1);

    state_ = new QLabel;
    state_->setObjectName(QStringLiteral("SimulationState"));
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
    toolbar_->addSeparator();
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
    board_ = new QComboBox;
    board_->setObjectName(QStringLiteral("SimBoard"));
    board_->setAccessibleName(tr8(texts::kBoardLabel));
    board_->addItem(tr8(texts::kBoardPlain), static_cast<int>(Board::Chip));
    board_->addItem(tr8(texts::kBoardEvaluation), static_cast<int>(Board::Evb));
    toolbar_->addWidget(new QLabel(tr8(texts::kChipLabel)));
    toolbar_->addWidget(chip_);
    toolbar_->addWidget(new QLabel(tr8(texts::kModeLabel)));
    toolbar_->addWidget(mode_);
    toolbar_->addWidget(new QLabel(tr8(texts::kBoardLabel)));
    toolbar_->addWidget(board_);
    auto chosen = [this] {
        MachineChoice choice;
        choice.chip = static_cast<sim11::Chip>(chip_->currentData().toInt());
        choice.mode = static_cast<sim11::Mode>(mode_->currentData().toInt());
        choice.board = static_cast<Board>(board_->currentData().toInt());
        setMachine(choice);
    };
    for (QComboBox* box : {chip_, mode_, board_})
        connect(box, &QComboBox::activated, this, chosen);
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

void SimulationWindow::load() {
    controller_->requestStop();
    post([c = controller_, choice = choice_, program = program_, state = debug_->state(),
          realTime = realTime_->isChecked()] {
        c->setRealTime(realTime);
        c->setDebugState(state);
        c->load(choice, program);
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
    choice_ = choice;
    chip_->setCurrentIndex(chip_->findData(static_cast<int>(choice.chip)));
    mode_->setCurrentIndex(mode_->findData(static_cast<int>(choice.mode)));
    board_->setCurrentIndex(board_->findData(static_cast<int>(choice.board)));
    load();
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
    if (realTime_->isChecked() != on)
        realTime_->setChecked(on); // comes back here through toggled
    post([c = controller_, on] { c->setRealTime(on); });
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
        return tr8(texts::kResetDone);
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
    }
    return {};
}

void SimulationWindow::apply(const Update& update) {
    snapshot_ = update.snapshot;
    const bool wasRunning = running_;
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
    if (update.refusedWrite)
        memory_->tellRefused(*update.refusedWrite);
    ports_->showSnapshot(*snapshot_, stopped);
    if (update.running) {
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
