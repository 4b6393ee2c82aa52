#pragma once

// One load through the monitor on a worker thread of its own: the
// user-interface thread only gets its progress and its end, by queued signals.
#include "board/download_job.h"
#include "board/monitor_load.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QThread;

namespace kavrel::board {

class SerialLink;

class MonitorJob : public QObject {
    Q_OBJECT
public:
    MonitorJob(S19Program program, MonitorSettings settings,
               DownloadJob::TransportFactory factory = {}, QObject* parent = nullptr);
    // Abandons a load still running and waits for its end (a few character times).
    ~MonitorJob() override;

    void start();
    void cancel();
    bool running() const { return worker_ && !done_; }

signals:
    void progress(qulonglong done, qulonglong total);
    // `answer`: what the monitor said last, its prompt included, for the
    // terminal. `link`: with keepOpen, the line still open, not started, a
    // child of the job: a receiver that keeps it takes it with setParent();
    // nullptr otherwise.
    void finished(bool ok, const QString& message, const QByteArray& answer,
                  kavrel::board::SerialLink* link);

private:
    void work(QThread* home);

    MonitorLoad load_;
    DownloadJob::TransportFactory factory_;
    std::unique_ptr<QThread> worker_;
    bool done_ = false;
    SerialLink* openLink_ = nullptr;
};

} // namespace kavrel::board
