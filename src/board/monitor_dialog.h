#pragma once

// "Charger par le moniteur (S19)...": the port, the speed, the board's chip
// and crystal, the monitor's command, then the load with its progress by
// records; the load runs on a worker thread (MonitorJob), so the window
// stays alive and "Annuler" works at any moment.
#include "board/download_job.h"
#include "board/monitor_job.h"
#include "board/port_choice.h"
#include "board/serial_link.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kavrel::board {

// What the user chose in the dialog, offered again by the next one.
struct MonitorChoices {
    QString port;
    QString speed;
    int board = 0; // in monitorBoards()
    QString crystal;
    QString command;
};

class MonitorDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPortPollMs = PortChoice::kPollMs;

    explicit MonitorDialog(const QString& s19Path, QWidget* parent = nullptr);
    ~MonitorDialog() override;

    // Seams: where the ports come from and how the transport is made.
    void setPortLister(std::function<QList<PortEntry>()> lister);
    void setTransportFactory(DownloadJob::TransportFactory factory);

    QString chosenPort() const;
    MonitorChoices choices() const;
    void setChoices(const MonitorChoices& choices);
    QString statusText() const;
    bool sending() const { return job_ != nullptr; }

public slots:
    void send();
    void refreshPorts();
    // Cancels a load under way; otherwise closes the dialog.
    void reject() override;

signals:
    // Just before the port is opened: a terminal holding it lets it go.
    void aboutToSend(const QString& port);
    // The monitor said "done". `openLink`: the line left open at the
    // monitor's prompt, a child of the dialog, not started; `answer`: the
    // monitor's last words; `entry`: where G starts the program.
    void loaded(const QString& port, unsigned baud, const QByteArray& answer,
                kavrel::board::SerialLink* openLink, std::uint16_t entry);

private:
    void finish(bool ok, const QString& message, const QByteArray& answer, SerialLink* link);
    void setEditable(bool on);
    void say(const QString& text);

    QString s19Path_;
    DownloadJob::TransportFactory factory_;
    MonitorJob* job_ = nullptr;
    QString jobPort_;
    unsigned jobBaud_ = 0;
    std::uint16_t jobEntry_ = 0;

    PortChoice* port_ = nullptr;
    QComboBox* speed_ = nullptr;
    QComboBox* board_ = nullptr;
    QComboBox* crystal_ = nullptr;
    QLineEdit* command_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kavrel::board
