#pragma once

// The terminal: what the other end sent, as it came, and what the user types,
// sent as a terminal sends it. The simulator window and the serial terminal
// both use it; it knows nothing of where the bytes go (bytesTyped) or come
// from (appendReceived).
#include <QByteArray>
#include <QString>
#include <QWidget>
#include <functional>

#include "terminal/serial_text.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace kavrel::terminal {

class FlowLayout;
class TerminalView;

class TerminalWidget : public QWidget {
    Q_OBJECT
public:
    // Lines kept; older ones go as new ones come.
    static constexpr int kMaxLines = 5000;
    // Characters of received text waiting for the next display at most: what
    // comes faster than that is only the part that would scroll off anyway.
    static constexpr qsizetype kMaxPending = 1 << 18;
    // Received text is shown at this pace, in one insert, so that a program
    // that prints byte by byte costs one layout per tick, not one per byte.
    static constexpr int kDisplayIntervalMs = 30;

    explicit TerminalWidget(QWidget* parent = nullptr);

    bool localEcho() const;
    void setLocalEcho(bool on);
    LineEnd lineEnd() const;
    void setLineEnd(LineEnd end);

    // Off while there is nobody to send to (a port closed): keys are ignored,
    // and a key pressed says why (`why`, or that the line is not open).
    bool inputEnabled() const { return inputEnabled_; }
    void setInputEnabled(bool on, const QString& why = {});

    // How "Envoyer un fichier..." asks for a file: the system's dialog unless
    // told otherwise. An empty answer sends nothing.
    void setFileChooser(std::function<QString()> chooser);

    // A host's own controls (a port, a speed) placed in the terminal's bar,
    // before its own, in the order they are added.
    void addToolWidget(QWidget* widget);

    // What is shown, once what was received has been displayed.
    QString text() const;
    QPlainTextEdit* display() const;
    // The last message of the terminal's bar (a file sent, a file unreadable).
    QString statusText() const;

public slots:
    void appendReceived(const QByteArray& bytes);
    // Shows at once what was received and not shown yet (the simulation
    // stopped: no stale picture).
    void flush();
    void clear();
    // Sends a text file, line ends as Enter's. False, with the reason shown
    // in the bar, when it cannot be read.
    bool sendFile(const QString& path);
    // Sends text as if typed (a paste).
    void sendText(const QString& text);

signals:
    void bytesTyped(const QByteArray& bytes);

private:
    friend class TerminalView;
    void send(const QByteArray& bytes);
    void chooseAndSendFile();
    void showPending();

    TerminalView* view_;
    QCheckBox* echo_;
    QComboBox* enter_;
    QPushButton* sendFile_;
    QPushButton* clear_;
    QLabel* status_;
    FlowLayout* bar_;
    QTimer* timer_;
    ReceivedText received_;
    QString pending_;
    bool inputEnabled_ = true;
    QString inputOffWhy_;
    std::function<QString()> chooser_;
};

} // namespace kavrel::terminal
