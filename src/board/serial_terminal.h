#pragma once

// "Terminal série": the terminal widget on a serial port (8N1), as an MDI
// child listed under "Fenêtre". It opens a port of its own, or takes over
// the line a download left open so that nothing the program says first is
// lost. The line runs on a thread of its own (SerialLink): its reads and
// writes reach this window as signals, never waits.
#include "board/download_dialog.h"
#include "board/serial_link.h"

#include <QByteArray>
#include <QMdiSubWindow>
#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QShowEvent;

namespace kavrel::terminal {
class TerminalWidget;
}

namespace kavrel::board {

class SerialTerminalWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    static constexpr unsigned kDefaultBaud = 9600;

    explicit SerialTerminalWindow(QWidget* parent = nullptr);
    ~SerialTerminalWindow() override;

    // Where the list of ports comes from and how a port is opened (the
    // system's unless told).
    void setPortLister(std::function<QList<PortEntry>()> lister);
    void setTransportFactory(DownloadJob::TransportFactory factory);

    // Opens `port` at `baud`, 8N1: false, with the reason in the bar, when
    // it cannot.
    bool openPort(const QString& port, unsigned baud);
    // Takes over a line already open (a download's), set to `baud`;
    // `firstWords` is what the program said before. Without a line, opens
    // the port.
    void adopt(SerialLink* link, const QString& name, unsigned baud, const QByteArray& firstWords);
    // Lets the port go; `why` is shown in the bar.
    void closePort(const QString& why);

    bool isOpen() const { return link_ != nullptr; }
    // The port as the user named it (the field's text while closed).
    QString portName() const;
    unsigned baud() const;
    terminal::TerminalWidget* terminal() const { return terminal_; }
    QString statusText() const;

public slots:
    // "Ouvrir" / "Fermer".
    void toggle();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void attach(SerialLink* link);
    void failed(PortFault fault, const QString& detail);
    void applySpeed();
    void refreshPorts();
    void showState();
    void say(const QString& text);

    terminal::TerminalWidget* terminal_ = nullptr;
    QComboBox* portField_ = nullptr;
    QComboBox* speed_ = nullptr;
    QPushButton* openClose_ = nullptr;
    QLabel* status_ = nullptr;
    SerialLink* link_ = nullptr;
    bool speedAsked_ = false;
    bool fitted_ = false; // sized to the workspace at its first showing
    QString portName_;
    std::function<QList<PortEntry>()> lister_;
    DownloadJob::TransportFactory factory_;
};

} // namespace kavrel::board
