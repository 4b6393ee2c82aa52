#pragma once

// "Terminal série": the terminal widget on a serial port (8N1), as an MDI
// child listed under "Fenêtre". It opens a port of its own, or takes over
// the port a download left open so that nothing the program says first is
// lost. The port lives on the user-interface thread: its reads and writes
// are signals, never waits.
#include "board/download_dialog.h"

#include <QByteArray>
#include <QMdiSubWindow>
#include <QSerialPort>
#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

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

    // Where the list of ports comes from (the system's unless told).
    void setPortLister(std::function<QList<PortEntry>()> lister);

    // Opens `port` at `baud`, 8N1: false, with the reason in the bar, when
    // it cannot.
    bool openPort(const QString& port, unsigned baud);
    // Takes over a port already open (a download's), set to `baud`;
    // `firstWords` is what the program said before.
    void adopt(QSerialPort* port, const QString& name, unsigned baud, const QByteArray& firstWords);
    // Lets the port go; `why` is shown in the bar.
    void closePort(const QString& why);

    bool isOpen() const { return port_ != nullptr; }
    // The port as the user named it (the field's text while closed).
    QString portName() const;
    unsigned baud() const;
    terminal::TerminalWidget* terminal() const { return terminal_; }
    QString statusText() const;

public slots:
    // "Ouvrir" / "Fermer".
    void toggle();

private:
    void attach(QSerialPort* port, const QString& name);
    void received();
    void failed(QSerialPort::SerialPortError error);
    void applySpeed();
    void refreshPorts();
    void showState();
    void say(const QString& text);

    terminal::TerminalWidget* terminal_ = nullptr;
    QComboBox* portField_ = nullptr;
    QComboBox* speed_ = nullptr;
    QPushButton* openClose_ = nullptr;
    QLabel* status_ = nullptr;
    QSerialPort* port_ = nullptr;
    QString portName_;
    std::function<QList<PortEntry>()> lister_;
};

} // namespace kavrel::board
