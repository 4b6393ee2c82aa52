#include "simulation/chip_access.h"

#include "board/board_texts.h"
#include "board/eeprom_records.h"
#include "simulation/simulation_window.h"

namespace kavrel::simulation {

namespace {

board::Part partOf(sim11::Chip chip) {
    switch (chip) {
    case sim11::Chip::A1:
        return board::Part::A1;
    case sim11::Chip::E1:
        return board::Part::E1;
    case sim11::Chip::E9:
        break;
    }
    return board::Part::E9;
}

} // namespace

// --- a window's chip ---

WindowChipAccess::WindowChipAccess(SimulationWindow* window, QObject* parent)
    : ChipAccess(parent), window_(window) {
    part_ = partOf(window->machine().chip);
    connect(window, &SimulationWindow::configRead, this, &ChipAccess::configRead);
    connect(window, &SimulationWindow::chipProgress, this, &ChipAccess::progress);
    connect(window, &SimulationWindow::chipProgrammed, this, &ChipAccess::programmed);
    // A window closed under a request: its end is told, never waited for.
    connect(window, &QObject::destroyed, this, [this] { tellGone(); });
}

void WindowChipAccess::tellGone() {
    const QString gone = QString::fromUtf8(board::kTargetClosed);
    emit configRead(false, 0, 0, gone);
    emit programmed(false, gone);
}

QString WindowChipAccess::targetText() const {
    // The window as its title names it: « Simulation : <source> ».
    return window_ ? QStringLiteral("« %1 »").arg(window_->windowTitle()) : QString();
}

std::vector<board::Part> WindowChipAccess::possibleParts() const {
    if (!window_ || !window_->drivesBoard())
        return {part_};
    std::vector<board::Part> parts;
    for (board::Part part : board::allParts())
        if (board::partInfo(part).family == board::partInfo(part_).family)
            parts.push_back(part);
    return parts;
}

std::vector<board::AddressRange> WindowChipAccess::programRanges() const {
    if (!window_ || !window_->program())
        return {};
    std::vector<board::MemoryBlock> blocks;
    for (const asmhc11::Segment& segment : window_->program()->segments())
        blocks.push_back({segment.address, segment.bytes});
    return board::coveredRanges(blocks);
}

void WindowChipAccess::readConfig() {
    if (!window_)
        tellGone();
    else
        window_->readConfig();
}

void WindowChipAccess::programConfig(std::uint8_t value) {
    if (!window_)
        tellGone();
    else
        window_->programConfig(value);
}

void WindowChipAccess::programEeprom(std::uint16_t address, QByteArray bytes) {
    if (!window_)
        tellGone();
    else
        window_->programEeprom(address, std::move(bytes));
}

void WindowChipAccess::cancel() {
    if (window_)
        window_->stop();
}

} // namespace kavrel::simulation
