#pragma once

// "Déboguer sur la carte...": the port, the chip's family, the crystal and
// the loader's speed; then the talker loaded by the bootstrap load and the
// program after it, with their progress and "Annuler". The work runs on the
// board's own worker thread (BoardController::connectBoard), which the
// debugging window takes over once the board is ready.
#include <QDialog>
#include <QList>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

#include "board/boot_image.h"
#include "board/port_choice.h"
#include "board/serial_link.h"
#include "simulation/board_target.h"
#include "simulation/simulation_window.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;

namespace kavrel::simulation {

// What the user chose, offered again by the next dialog.
struct BoardChoices {
    QString port;
    board::Family family = board::Family::E;
    QString crystal = QStringLiteral("8");
    QString loadSpeed = QStringLiteral("1200");
    bool resetByLines = false;
};

class BoardDebugDialog : public QDialog {
    Q_OBJECT
public:
    explicit BoardDebugDialog(std::shared_ptr<const Program> program, QWidget* parent = nullptr);
    // A load under way is cancelled, and waited for (a few character times).
    ~BoardDebugDialog() override;

    // Seams: where the ports come from and how the line is made.
    void setPortLister(std::function<QList<board::PortEntry>()> lister);
    void setTransportFactory(BoardController::TransportFactory factory);

    BoardChoices choices() const;
    void setChoices(const BoardChoices& choices);
    QString statusText() const;
    bool connecting() const { return target_ != nullptr; }

public slots:
    // "Connecter": the talker, then the program.
    void connectBoard();
    void refreshPorts();
    // Cancels a load under way; otherwise closes the dialog.
    void reject() override;

signals:
    // Just before the port is opened: a terminal holding it lets it go.
    void aboutToConnect(const QString& port);
    // The board is ready: the receiver takes the thread (started) and the
    // target living on it, and ends them.
    void ready(QThread* thread, kavrel::simulation::Target* target,
               const kavrel::simulation::BoardTargetInfo& info);

private:
    void finished(bool ok, const QString& message);
    void setEditable(bool on);
    void dropTarget();

    std::shared_ptr<const Program> program_;
    BoardController::TransportFactory factory_;
    QThread* thread_ = nullptr;
    BoardController* target_ = nullptr;
    BoardTargetInfo info_;

    board::PortChoice* port_ = nullptr;
    QRadioButton* familyA_ = nullptr;
    QRadioButton* familyE_ = nullptr;
    QComboBox* crystal_ = nullptr;
    QComboBox* loadSpeed_ = nullptr;
    QCheckBox* resetByLines_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kavrel::simulation
