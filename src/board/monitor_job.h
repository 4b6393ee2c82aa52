#pragma once

// One load through the monitor on a worker thread of its own: the
// user-interface thread only gets its progress and its end, by queued signals.
#include "board/board_job.h"
#include "board/monitor_load.h"

namespace kavrel::board {

// finished()'s `words`: what the monitor said last, its prompt included,
// for the terminal.
class MonitorJob : public BoardJob {
    Q_OBJECT
public:
    MonitorJob(S19Program program, MonitorSettings settings, TransportFactory factory = {},
               QObject* parent = nullptr);
    // Abandons a load still running and waits for its end (a few character times).
    ~MonitorJob() override;

    void cancel();

private:
    Outcome run(Transport& transport) override;

    MonitorLoad load_;
};

} // namespace kavrel::board
