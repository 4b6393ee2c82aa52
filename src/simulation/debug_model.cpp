#include "simulation/debug_model.h"

#include <algorithm>

namespace kavrel::simulation {

DebugModel::DebugModel(QObject* parent) : QObject(parent) {}

void DebugModel::setProgram(std::shared_ptr<const Program> program) {
    std::map<std::uint16_t, std::optional<SourceRef>> kept;
    const std::vector<std::string>& files = program->files();
    for (const auto& [address, ref] : breakpoints_) {
        if (!ref) {
            kept.try_emplace(address);
            continue;
        }
        const auto found = std::find(files.begin(), files.end(), ref->file);
        if (found == files.end())
            continue;
        if (const auto moved =
                program->addressOf(static_cast<int>(found - files.begin()), ref->line))
            kept.insert_or_assign(*moved, ref);
    }
    breakpoints_ = std::move(kept);
    program_ = std::move(program);
    emit breakpointsChanged();
}

bool DebugModel::toggleLine(int file, int line) {
    if (!program_ || file < 0 || file >= static_cast<int>(program_->files().size()))
        return false;
    const auto address = program_->addressOf(file, line);
    if (!address)
        return false;
    if (!breakpoints_.erase(*address))
        breakpoints_.emplace(*address,
                             SourceRef{program_->files()[static_cast<std::size_t>(file)], line});
    emit breakpointsChanged();
    return true;
}

void DebugModel::toggleAddress(std::uint16_t address) {
    if (!breakpoints_.erase(address)) {
        std::optional<SourceRef> ref;
        // A line included twice starts at two addresses: each its own.
        if (program_ && program_->lineStartsAt(address)) {
            const SourceLine line = program_->lineAt(address);
            ref = SourceRef{program_->files()[static_cast<std::size_t>(line.file)], line.line};
        }
        breakpoints_.emplace(address, std::move(ref));
    }
    emit breakpointsChanged();
}

bool DebugModel::hasBreakpoint(std::uint16_t address) const {
    return breakpoints_.count(address) != 0;
}

std::vector<int> DebugModel::breakpointLines(int file) const {
    std::vector<int> lines;
    if (!program_ || file < 0 || file >= static_cast<int>(program_->files().size()))
        return lines;
    const std::string& name = program_->files()[static_cast<std::size_t>(file)];
    for (const auto& [address, ref] : breakpoints_)
        if (ref && ref->file == name)
            lines.push_back(ref->line);
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

std::vector<std::uint16_t> DebugModel::breakpointAddresses() const {
    std::vector<std::uint16_t> addresses;
    addresses.reserve(breakpoints_.size());
    for (const auto& entry : breakpoints_)
        addresses.push_back(entry.first);
    return addresses;
}

void DebugModel::watch(std::uint16_t address, sim11::Access access) {
    auto& now = watched_[address];
    now = static_cast<sim11::Access>(static_cast<unsigned>(now) | static_cast<unsigned>(access));
    emit watchpointsChanged();
}

void DebugModel::unwatch(std::uint16_t address) {
    if (watched_.erase(address))
        emit watchpointsChanged();
}

void DebugModel::unwatchAll() {
    if (watched_.empty())
        return;
    watched_.clear();
    emit watchpointsChanged();
}

sim11::Access DebugModel::watched(std::uint16_t address) const {
    const auto found = watched_.find(address);
    return found == watched_.end() ? sim11::Access{} : found->second;
}

DebugState DebugModel::state() const {
    return {breakpointAddresses(), {watched_.begin(), watched_.end()}};
}

} // namespace kavrel::simulation
