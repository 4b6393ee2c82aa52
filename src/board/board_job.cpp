#include "board/board_job.h"

#include "board/serial_link.h"

#include <QMetaObject>
#include <QThread>

namespace kavrel::board {

BoardJob::BoardJob(TransportFactory factory, QObject* parent)
    : QObject(parent), factory_(std::move(factory)) {
    if (!factory_)
        factory_ = systemTransport;
}

BoardJob::~BoardJob() {
    waitForWorker();
    delete openLink_;
}

void BoardJob::waitForWorker() {
    if (worker_)
        worker_->wait();
}

void BoardJob::start() {
    if (worker_)
        return;
    worker_.reset(QThread::create([this, home = thread()] { work(home); }));
    worker_->start();
}

void BoardJob::work(QThread* home) {
    std::unique_ptr<Transport> transport = factory_();
    const Outcome outcome = run(*transport);
    if (outcome.ok && outcome.keepOpen) {
        // Made here, where the port was used, then given to the job's thread.
        openLink_ = new SerialLink(std::move(transport), QString::fromStdString(outcome.port),
                                   outcome.baud);
        openLink_->moveToThread(home);
    }
    transport.reset();
    const QString message = QString::fromStdString(outcome.message);
    const QByteArray words = QByteArray::fromStdString(outcome.words);
    const bool ok = outcome.ok;
    // Told on the job's own thread, where the job may be deleted at once.
    QMetaObject::invokeMethod(
        this,
        [this, ok, message, words] {
            worker_->wait();
            done_ = true;
            SerialLink* link = openLink_;
            openLink_ = nullptr;
            if (link)
                link->setParent(this);
            emit finished(ok, message, words, link);
        },
        Qt::QueuedConnection);
}

} // namespace kavrel::board
