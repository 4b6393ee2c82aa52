#pragma once

// "Charger dans la carte (.BOO)...": the port, the chip's family and the
// speed, then the download with its progress; the load itself runs on a
// worker thread (DownloadJob), so the window stays alive and "Annuler" works
// at any moment.
#include "board/boot_image.h"
#include "board/download_job.h"
#include "board/port_choice.h"
#include "board/serial_link.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace kavrel::board {

// What the user chose in the dialog, offered again by the next one.
struct DownloadChoices {
    QString port;
    Family family = Family::E;
    QString speed;
    QString programSpeed;
    bool resetByLines = false;
};

class DownloadDialog : public QDialog {
    Q_OBJECT
public:
    // How often the list of ports is looked at again for plugs and unplugs.
    static constexpr int kPortPollMs = PortChoice::kPollMs;

    explicit DownloadDialog(const QString& booPath, QWidget* parent = nullptr);
    ~DownloadDialog() override;

    // Seams: where the ports come from and how the transport is made (the
    // system's ports and a serial port unless told otherwise).
    void setPortLister(std::function<QList<PortEntry>()> lister);
    void setTransportFactory(DownloadJob::TransportFactory factory);

    QString chosenPort() const;
    DownloadChoices choices() const;
    void setChoices(const DownloadChoices& choices);
    Family family() const;
    QString statusText() const;
    // The speed the loaded program talks at: the download's unless told.
    unsigned programBaud() const;
    bool sending() const { return job_ != nullptr; }

public slots:
    void send();
    void refreshPorts();
    // Cancels a load under way; otherwise closes the dialog.
    void reject() override;

signals:
    // Just before the port is opened: a terminal holding it lets it go.
    void aboutToSend(const QString& port);
    // The program is in the board. `openLink`, when the load left the line
    // open, is a child of the dialog, not started: a receiver that keeps it
    // takes it with setParent(). `programOutput`: the program's first words.
    void loaded(const QString& port, unsigned baud, const QByteArray& programOutput,
                kavrel::board::SerialLink* openLink);

private:
    void finish(bool ok, const QString& message, const QByteArray& output, SerialLink* link);
    void setEditable(bool on);
    void say(const QString& text);

    QString booPath_;
    DownloadJob::TransportFactory factory_;
    DownloadJob* job_ = nullptr;
    QString jobPort_;
    unsigned jobBaud_ = 0;

    PortChoice* port_ = nullptr;
    QRadioButton* familyA_ = nullptr;
    QRadioButton* familyE_ = nullptr;
    QComboBox* speed_ = nullptr;
    QComboBox* programSpeed_ = nullptr;
    QCheckBox* resetByLines_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kavrel::board
