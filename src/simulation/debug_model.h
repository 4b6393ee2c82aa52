#pragma once

// What the user asked the simulation to stop on: breakpoints and watched
// bytes. The window's one copy of them: the source pane, the disassembly and
// the memory pane draw their marks from it and change it there, and the
// window hands the whole of it to the worker thread after every change (see
// DebugState), so what is marked is what stops the machine. Window's thread
// only.
#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim11/session.h"
#include "simulation/program.h"

namespace kavrel::simulation {

// The model as the worker applies it.
struct DebugState {
    std::vector<std::uint16_t> breakpoints; // ascending
    std::vector<std::pair<std::uint16_t, sim11::Access>> watchpoints;
};

class DebugModel : public QObject {
    Q_OBJECT
public:
    explicit DebugModel(QObject* parent = nullptr);

    // A new image of the program: a breakpoint set on a line moves to where
    // that line's code now starts, or goes when the line emits nothing any
    // more; one set on a bare address stays there. Watched bytes stay.
    void setProgram(std::shared_ptr<const Program> program);

    // --- breakpoints ---
    // On a line (file index in the program, line 1-based); false when the
    // line emits no code.
    bool toggleLine(int file, int line);
    // On an instruction: the line's breakpoint when a line of the program
    // starts there, a bare address's otherwise.
    void toggleAddress(std::uint16_t address);
    bool hasBreakpoint(std::uint16_t address) const;
    // The lines of a file that carry one (1-based, ascending).
    std::vector<int> breakpointLines(int file) const;
    std::vector<std::uint16_t> breakpointAddresses() const; // ascending

    // --- watched bytes ---
    // Adds what a byte is watched for; Access{} there is no watch.
    void watch(std::uint16_t address, sim11::Access access);
    void unwatch(std::uint16_t address);
    void unwatchAll();
    sim11::Access watched(std::uint16_t address) const;

    DebugState state() const;

signals:
    void breakpointsChanged();
    void watchpointsChanged();

private:
    // The line a breakpoint was set on, by file name so that it survives a
    // new image whose files come in another order.
    struct SourceRef {
        std::string file;
        int line = 0;
    };

    std::shared_ptr<const Program> program_;
    std::map<std::uint16_t, std::optional<SourceRef>> breakpoints_;
    std::map<std::uint16_t, sim11::Access> watched_;
};

} // namespace kavrel::simulation
