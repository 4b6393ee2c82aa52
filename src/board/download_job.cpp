#include "board/download_job.h"

namespace kavrel::board {

DownloadJob::DownloadJob(std::vector<std::uint8_t> program, DownloadSettings settings,
                         TransportFactory factory, QObject* parent)
    : BoardJob(std::move(factory), parent), download_(std::move(program), std::move(settings)) {
    download_.onProgress = [this](std::size_t done, std::size_t total) { tell(done, total); };
}

DownloadJob::~DownloadJob() {
    download_.cancel();
    waitForWorker();
}

void DownloadJob::cancel() {
    download_.cancel();
}

BoardJob::Outcome DownloadJob::run(Transport& transport) {
    const DownloadResult result = download_.run(transport);
    const DownloadSettings& settings = download_.settings();
    return {.ok = result.ok(),
            .message = result.message,
            .words = result.programOutput,
            .keepOpen = settings.keepOpen,
            .port = settings.port,
            .baud = settings.baud};
}

} // namespace kavrel::board
