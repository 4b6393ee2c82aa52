#pragma once

// A main window with sources on disk, "Simuler" through the menu, and ways to
// wait for the simulation window's worker thread.
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "fakes/ui_fixture.h"
#include "simulation/registers_pane.h"
#include "simulation/simulation_window.h"
#include "simulation/source_pane.h"

namespace kavrel::test {

// Three loads, then a loop that calls a routine: the programs the window's
// tests step through.
inline const std::vector<std::string> kSteps = {
    "* Trois chargements puis une boucle",
    "        ORG   $0100",
    "START   LDS   #$01FF",
    "        LDAA  #$12",
    "        LDAB  #$34",
    "        LDX   #$5678",
    "LOOP    INCA",
    "        BSR   TWICE",
    "        BRA   LOOP",
    "TWICE   INCB",
    "        INCB",
    "        RTS",
    "        END   START",
};

class SimulationTest : public UiTest {
protected:
    // Writes a source (lines joined with CR LF) and opens it in an editor.
    Editeur* open(const QString& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        writeBytes(docPath(name), text);
        dialogs->answers.push_back(docPath(name));
        trigger("Open_General");
        return active();
    }
    // "Simuler" on the active editor; the window it opened, once the machine
    // is shown, or null.
    simulation::SimulationWindow* simulate() {
        trigger("Simulate");
        auto* window = qobject_cast<simulation::SimulationWindow*>(principal->activeSubWindow());
        if (window && !waitFor([window] { return window->snapshot() != nullptr; }))
            return nullptr;
        return window;
    }
    static bool waitFor(const std::function<bool()>& done, int ms = 5000) {
        return QTest::qWaitFor(done, ms);
    }
    // Runs a command of the window and waits until the machine has stopped again.
    static bool stopped(simulation::SimulationWindow* window,
                        const std::function<void()>& command) {
        int shownStopped = 0;
        auto connection = QObject::connect(window, &simulation::SimulationWindow::shown, window,
                                           [&](bool running) { shownStopped += running ? 0 : 1; });
        command();
        // Generous: a board behind its line, or the sanitizers, take their time.
        const bool ok =
            waitFor([&] { return shownStopped > 0 && !window->isRunning(); }, 20000);
        QObject::disconnect(connection);
        return ok;
    }
    static QString reg(simulation::SimulationWindow* window,
                       simulation::RegistersPane::Field field) {
        return window->registersPane()->field(field)->text();
    }
    QList<simulation::SimulationWindow*> simulations() const {
        QList<simulation::SimulationWindow*> found;
        for (QMdiSubWindow* window : principal->subWindows())
            if (auto* simulation = qobject_cast<simulation::SimulationWindow*>(window))
                found << simulation;
        return found;
    }
};

} // namespace kavrel::test
