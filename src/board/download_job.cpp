#include "board/download_job.h"

#include "board/serial_transport.h"

#include <QMetaObject>
#include <QSerialPort>
#include <QThread>

namespace kavrel::board {

DownloadJob::DownloadJob(std::vector<std::uint8_t> program, DownloadSettings settings,
                         TransportFactory factory, QObject* parent)
    : QObject(parent), download_(std::move(program), std::move(settings)),
      factory_(std::move(factory)) {
    if (!factory_)
        factory_ = [] { return std::make_unique<SerialTransport>(); };
    download_.onProgress = [this](std::size_t done, std::size_t total) {
        emit progress(done, total);
    };
}

DownloadJob::~DownloadJob() {
    download_.cancel();
    if (worker_)
        worker_->wait();
    // Gone before its end was told: nobody took the port.
    delete openPort_;
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
        if (auto* serial = dynamic_cast<SerialTransport*>(transport.get()))
            openPort_ = serial->release(home);
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
            QSerialPort* port = openPort_;
            openPort_ = nullptr;
            emit finished(ok, message, output, port);
        },
        Qt::QueuedConnection);
}

} // namespace kavrel::board
