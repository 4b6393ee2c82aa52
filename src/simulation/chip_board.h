#pragma once

// A board reached for "Programmer l'EEPROM..." and "Configurer le circuit
// (CONFIG)..." when no board window is open: the dialog that asks for its
// port, part and crystal, and the board itself, its talker loaded by the
// bootstrap load and driven on a worker thread of its own.
#include <QDialog>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "board/port_choice.h"
#include "board/serial_link.h"
#include "board/talker.h"
#include "simulation/chip_access.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;

namespace kavrel::simulation {

// A board on a serial port, its talker loaded by the bootstrap load.
class BoardChipAccess final : public ChipAccess {
    Q_OBJECT
public:
    // Made on the worker thread, where the line is used; the system's
    // serial port unless told otherwise.
    using TransportFactory = std::function<std::unique_ptr<board::Transport>()>;

    BoardChipAccess(board::TalkerSettings settings, board::Part part,
                    std::vector<board::AddressRange> program, TransportFactory factory = {},
                    QObject* parent = nullptr);
    // Cancels what runs, closes the line and waits for the thread (a few
    // character times).
    ~BoardChipAccess() override;

    // Opens the port and loads the talker: connected(), progress() meanwhile.
    void connectBoard();

    QString targetText() const override;
    std::vector<board::AddressRange> programRanges() const override { return program_; }
    void readConfig() override;
    void programConfig(std::uint8_t value) override;
    void programEeprom(std::uint16_t address, QByteArray bytes) override;
    void cancel() override;

signals:
    void connected(bool ok, const QString& message);

private:
    // Runs `work` on the worker thread; a fault it throws becomes its French message.
    void onWorker(std::function<void()> work, std::function<void(const QString&)> failed);
    QString faultText(const std::exception& error) const;
    // Throws, told as the board not answering, before the talker is loaded.
    void requireTalker() const;
    // A step of a long call: told to the user's side (worker thread).
    void told(std::size_t done, std::size_t total);

    board::TalkerSettings settings_;
    std::vector<board::AddressRange> program_;
    TransportFactory factory_;
    QThread* thread_ = nullptr;
    QObject* worker_ = nullptr; // lives on thread_
    // Worker thread only, but for cancel() through the atomic pointer.
    std::unique_ptr<board::Transport> transport_;
    std::unique_ptr<board::Talker> talker_;
    std::atomic<board::Talker*> running_{nullptr};
    std::atomic<bool> cancelled_{false};
    // CONFIG as programmed here: what the next reset takes, which the chip
    // does not show until then.
    std::atomic<int> programmedConfig_{-1};
};

// Port, part and crystal; then the talker loaded by the bootstrap load.
// Accepted once the board answers: takeAccess() gives the connected board.
class BoardConnectDialog : public QDialog {
    Q_OBJECT
public:
    explicit BoardConnectDialog(std::vector<board::AddressRange> program,
                                QWidget* parent = nullptr);
    ~BoardConnectDialog() override;

    // Seams: the ports listed, and the transport made (the system's).
    void setPortLister(std::function<QList<board::PortEntry>()> lister);
    void setTransportFactory(BoardChipAccess::TransportFactory factory);

    QString statusText() const;
    BoardChipAccess* takeAccess();
    bool connecting() const { return access_ != nullptr && !connected_; }

public slots:
    void connectBoard();
    void refreshPorts();
    void reject() override;

private:
    void finish(bool ok, const QString& message);
    void setEditable(bool on);

    std::vector<board::AddressRange> program_;
    BoardChipAccess::TransportFactory factory_;
    BoardChipAccess* access_ = nullptr;
    bool connected_ = false, cancelling_ = false;

    board::PortChoice* port_ = nullptr;
    QComboBox* part_ = nullptr;
    QLineEdit* crystal_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kavrel::simulation
