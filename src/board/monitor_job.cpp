#include "board/monitor_job.h"

#include "board/serial_link.h"

#include <QMetaObject>
#include <QThread>

namespace kavrel::board {

MonitorJob::MonitorJob(S19Program program, MonitorSettings settings,
                       DownloadJob::TransportFactory factory, QObject* parent)
    : QObject(parent), load_(std::move(program), std::move(settings)),
      factory_(std::move(factory)) {
    if (!factory_)
        factory_ = systemTransport;
    load_.onProgress = [this](std::size_t done, std::size_t total) { emit progress(done, total); };
}

MonitorJob::~MonitorJob() {
    // Nobody is left to see the monitor back at its prompt: no waiting for it.
    load_.abandon();
    if (worker_)
        worker_->wait();
    delete openLink_;
}

void MonitorJob::start() {
    if (worker_)
        return;
    worker_.reset(QThread::create([this, home = thread()] { work(home); }));
    worker_->start();
}

void MonitorJob::cancel() {
    load_.cancel();
}

void MonitorJob::work(QThread* home) {
    std::unique_ptr<Transport> transport = factory_();
    const MonitorResult result = load_.run(*transport);
    if (result.ok() && load_.settings().keepOpen) {
        // Made here, where the port was used, then given to the job's thread.
        openLink_ =
            new SerialLink(std::move(transport), QString::fromStdString(load_.settings().port),
                           load_.settings().baud);
        openLink_->moveToThread(home);
    }
    transport.reset();
    const QString message = QString::fromStdString(result.message);
    // The terminal shows the monitor's last words as they came: "done", then its prompt.
    const QByteArray answer = QByteArray::fromStdString(result.lastWords);
    const bool ok = result.ok();
    QMetaObject::invokeMethod(
        this,
        [this, ok, message, answer] {
            worker_->wait();
            done_ = true;
            SerialLink* link = openLink_;
            openLink_ = nullptr;
            if (link)
                link->setParent(this);
            emit finished(ok, message, answer, link);
        },
        Qt::QueuedConnection);
}

} // namespace kavrel::board
