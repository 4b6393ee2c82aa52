#include "board/monitor_job.h"

namespace kavrel::board {

MonitorJob::MonitorJob(S19Program program, MonitorSettings settings, TransportFactory factory,
                       QObject* parent)
    : BoardJob(std::move(factory), parent), load_(std::move(program), std::move(settings)) {
    load_.onProgress = [this](std::size_t done, std::size_t total) { tell(done, total); };
}

MonitorJob::~MonitorJob() {
    // Nobody is left to see the monitor back at its prompt: no waiting for it.
    load_.abandon();
    waitForWorker();
}

void MonitorJob::cancel() {
    load_.cancel();
}

BoardJob::Outcome MonitorJob::run(Transport& transport) {
    const MonitorResult result = load_.run(transport);
    const MonitorSettings& settings = load_.settings();
    // The terminal shows the monitor's last words as they came: "done", then its prompt.
    return {.ok = result.ok(),
            .message = result.message,
            .words = result.lastWords,
            .keepOpen = settings.keepOpen,
            .port = settings.port,
            .baud = settings.baud};
}

} // namespace kavrel::board
