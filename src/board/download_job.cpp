#include "board/download_job.h"

#include "board/serial_link.h"

#include <QMetaObject>
#include <QThread>

namespace kavrel::board {

DownloadJob::DownloadJob(std::vector<std::uint8_t> program, DownloadSettings settings,
                         TransportFactory factory, QObject* parent)
    : QObject(parent), download_(std::move(program), std::move(settings)),
      factory_(std::move(factory)) {
    if (!factory_)
        factory_ = systemTransport;
    download_.onProgress = [this](std::size_t done, std::size_t total) {
        emit progress(done, total);
    };
}

DownloadJob::~DownloadJob() {
    download_.cancel();
    if (worker_)
        worker_->wait();
    // Gone before its end was told: nobody took the line.
    delete openLink_;
}

void DownloadJob::start() {
    if (worker_)
        return;
    worker_.reset(QThread::create([this, home = thread()] { work(home); }));
    worker_->start();
}

void DownloadJob::cancel() {
    download_.cancel();
}

void DownloadJob::work(QThread* home) {
    std::unique_ptr<Transport> transport = factory_();
    const DownloadResult result = download_.run(*transport);
    if (result.ok() && download_.settings().keepOpen) {
        // Made here, where the port was used, then given to the job's thread.
        openLink_ = new SerialLink(std::move(transport),
                                   QString::fromStdString(download_.settings().port),
                                   download_.settings().baud);
        openLink_->moveToThread(home);
    }
    transport.reset();
    const QString message = QString::fromStdString(result.message);
    const QByteArray output = QByteArray::fromStdString(result.programOutput);
    const bool ok = result.ok();
    // Told on the job's own thread, where the job may be deleted at once.
    QMetaObject::invokeMethod(
        this,
        [this, ok, message, output] {
            worker_->wait();
            done_ = true;
            SerialLink* link = openLink_;
            openLink_ = nullptr;
            if (link)
                link->setParent(this);
            emit finished(ok, message, output, link);
        },
        Qt::QueuedConnection);
}

} // namespace kavrel::board
