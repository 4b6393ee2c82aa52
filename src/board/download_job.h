#pragma once

// One bootstrap download on a worker thread of its own: the user-interface
// thread only gets its progress and its end, by queued signals.
#include "board/bootstrap.h"
#include "board/transport.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThread;

namespace kavrel::board {

class SerialLink;

class DownloadJob : public QObject {
    Q_OBJECT
public:
    // Makes the transport, on the worker thread; the system's serial port by default.
    using TransportFactory = std::function<std::unique_ptr<Transport>()>;

    DownloadJob(std::vector<std::uint8_t> program, DownloadSettings settings,
                TransportFactory factory = {}, QObject* parent = nullptr);
    // Cancels a load still running and waits for its end (a few character times).
    ~DownloadJob() override;

    void start();
    void cancel();
    bool running() const { return worker_ && !done_; }

signals:
    void progress(qulonglong done, qulonglong total);
    // `programOutput`: what the loaded program said while the load ended.
    // `link`: with keepOpen, the line still open, not started, a child of
    // the job: a receiver that keeps it takes it with setParent(); nullptr
    // otherwise.
    void finished(bool ok, const QString& message, const QByteArray& programOutput,
                  kavrel::board::SerialLink* link);

private:
    void work(QThread* home);

    BootstrapDownload download_;
    TransportFactory factory_;
    // A QThread, not a bare thread: Qt's serial port made there may be
    // handed to another QThread, a serial link's.
    std::unique_ptr<QThread> worker_;
    bool done_ = false;
    // The line a load left open, until finished() hands it over.
    SerialLink* openLink_ = nullptr;
};

} // namespace kavrel::board
