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

class QSerialPort;
class QThread;

namespace kavrel::board {

class DownloadJob : public QObject {
    Q_OBJECT
public:
    // Makes the transport, on the worker thread; a serial port by default.
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
    // `port`: with keepOpen, the serial port still open, now the receiver's
    // to own and living in its thread; nullptr otherwise.
    void finished(bool ok, const QString& message, const QByteArray& programOutput,
                  QSerialPort* port);

private:
    void work(QThread* home);

    BootstrapDownload download_;
    TransportFactory factory_;
    // A QThread, not a bare thread: the serial port made there keeps working
    // (its socket notifiers) once it is handed to the user-interface thread.
    std::unique_ptr<QThread> worker_;
    bool done_ = false;
    // The port a load left open, until finished() hands it over.
    QSerialPort* openPort_ = nullptr;
};

} // namespace kavrel::board
