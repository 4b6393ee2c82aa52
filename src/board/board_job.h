#pragma once

// A load into the board on a worker thread of its own: the user-interface
// thread only gets its progress and its end, by queued signals. What the
// load is (the bootstrap's, the monitor's) comes from the job that derives.
#include "board/transport.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QThread;

namespace kavrel::board {

class SerialLink;

class BoardJob : public QObject {
    Q_OBJECT
public:
    // Makes the transport, on the worker thread; the system's serial port by default.
    using TransportFactory = std::function<std::unique_ptr<Transport>()>;

    // Gone before its end was told: nobody took the line, which goes here.
    ~BoardJob() override;

    void start();
    bool running() const { return worker_ && !done_; }

signals:
    void progress(qulonglong done, qulonglong total);
    // `words`: what the board said last, as the job that derives tells.
    // `link`: with the line kept open, the line still open, not started, a
    // child of the job: a receiver that keeps it takes it with setParent();
    // nullptr otherwise.
    void finished(bool ok, const QString& message, const QByteArray& words,
                  kavrel::board::SerialLink* link);

protected:
    // How a load ended, and the line it leaves open when it does.
    struct Outcome {
        bool ok = false;
        std::string message;
        std::string words;
        bool keepOpen = false;
        std::string port;
        unsigned baud = 0;
    };

    explicit BoardJob(TransportFactory factory, QObject* parent);

    // The load on `transport`, on the worker thread.
    virtual Outcome run(Transport& transport) = 0;
    // Waits for the worker's end: a job that derives calls it in its
    // destructor, once it has told its load to stop.
    void waitForWorker();
    // Progress from the worker thread, queued to the job's.
    void tell(std::size_t done, std::size_t total) { emit progress(done, total); }

private:
    void work(QThread* home);

    TransportFactory factory_;
    // A QThread, not a bare thread: Qt's serial port made there may be
    // handed to another QThread, a serial link's.
    std::unique_ptr<QThread> worker_;
    bool done_ = false;
    // The line a load left open, until finished() hands it over.
    SerialLink* openLink_ = nullptr;
};

} // namespace kavrel::board
