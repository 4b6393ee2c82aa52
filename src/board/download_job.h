#pragma once

// One bootstrap download on a worker thread of its own: the user-interface
// thread only gets its progress and its end, by queued signals.
#include "board/board_job.h"
#include "board/bootstrap.h"

#include <cstdint>
#include <vector>

namespace kavrel::board {

// finished()'s `words`: what the loaded program said while the load ended.
class DownloadJob : public BoardJob {
    Q_OBJECT
public:
    DownloadJob(std::vector<std::uint8_t> program, DownloadSettings settings,
                TransportFactory factory = {}, QObject* parent = nullptr);
    // Cancels a load still running and waits for its end (a few character times).
    ~DownloadJob() override;

    void cancel();

private:
    Outcome run(Transport& transport) override;

    BootstrapDownload download_;
};

} // namespace kavrel::board
