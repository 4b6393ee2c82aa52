#include "board/monitor_dialog.h"

#include "board/board_texts.h"
#include "board/dialog_parts.h"
#include "board/fill_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavrel::board {

namespace {

// BUFFALO's 9600 with an 8 MHz crystal first, then what other monitors use.
constexpr const char* kSpeeds[] = {"9600", "1200", "2400", "4800", "19200"};
constexpr const char* kCrystals[] = {"8", "4,9152", "9,8304", "12", "16"};
constexpr const char* kDefaultCommand = "LOAD T";

// "8", "9,8304" or "9.8304" MHz, from 0.1 to 16; 0 when it is not one.
double crystalOf(const QString& text) {
    return crystalHzOf(text, 0.1, 16.0);
}

QString q(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

MonitorDialog::MonitorDialog(const QString& s19Path, QWidget* parent)
    : QDialog(parent), s19Path_(s19Path) {
    setWindowTitle(q(kMonitorDialogTitle));
    qRegisterMetaType<SerialLink*>();

    auto* file = new QLabel(QDir::toNativeSeparators(s19Path), this);
    file->setObjectName(QStringLiteral("file"));
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);

    port_ = new PortChoice(this);

    speed_ = editableCombo(this, "speed");
    for (const char* speed : kSpeeds)
        speed_->addItem(q(speed));
    speed_->setCurrentIndex(0);

    board_ = new QComboBox(this);
    board_->setObjectName(QStringLiteral("board"));
    for (const MonitorBoard& board : monitorBoards())
        board_->addItem(QString::fromStdString(board.name));

    crystal_ = editableCombo(this, "crystal");
    for (const char* crystal : kCrystals)
        crystal_->addItem(q(crystal));
    crystal_->setCurrentIndex(0);

    command_ = new QLineEdit(q(kDefaultCommand), this);
    command_->setObjectName(QStringLiteral("command"));

    progress_ = loadProgress(this, q(kMonitorProgressFormat));

    status_ = statusLabel(this);

    auto* buttons = new QDialogButtonBox(this);
    send_ = buttons->addButton(q(kSend), QDialogButtonBox::AcceptRole);
    send_->setObjectName(QStringLiteral("send"));
    send_->setDefault(true);
    cancel_ = buttons->addButton(q(kCancel), QDialogButtonBox::RejectRole);
    cancel_->setObjectName(QStringLiteral("cancel"));
    connect(send_, &QPushButton::clicked, this, &MonitorDialog::send);
    connect(cancel_, &QPushButton::clicked, this, &MonitorDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(q(kFileLabel), file);
    form->addRow(q(kPortLabel), port_);
    form->addRow(q(kSpeedLabel), speed_);
    form->addRow(q(kMonitorBoardLabel), board_);
    form->addRow(q(kMonitorCrystalLabel), crystal_);
    form->addRow(q(kMonitorCommandLabel), command_);
    auto* layout = new QVBoxLayout(this);
    // Never smaller than its texts: a long status makes the dialog taller.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(buttons);
}

MonitorDialog::~MonitorDialog() = default;

void MonitorDialog::setPortLister(std::function<QList<PortEntry>()> lister) {
    port_->setLister(std::move(lister));
}

void MonitorDialog::setTransportFactory(DownloadJob::TransportFactory factory) {
    factory_ = std::move(factory);
}

void MonitorDialog::refreshPorts() {
    port_->refresh();
}

QString MonitorDialog::chosenPort() const {
    return port_->chosen();
}

MonitorChoices MonitorDialog::choices() const {
    return {chosenPort(), speed_->currentText(), board_->currentIndex(), crystal_->currentText(),
            command_->text()};
}

void MonitorDialog::setChoices(const MonitorChoices& choices) {
    port_->choose(choices.port);
    if (!choices.speed.isEmpty())
        speed_->setCurrentText(choices.speed);
    if (choices.board >= 0 && choices.board < board_->count())
        board_->setCurrentIndex(choices.board);
    if (!choices.crystal.isEmpty())
        crystal_->setCurrentText(choices.crystal);
    if (!choices.command.isEmpty())
        command_->setText(choices.command);
}

QString MonitorDialog::statusText() const {
    return status_->text();
}

void MonitorDialog::say(const QString& text) {
    status_->setText(text);
}

void MonitorDialog::setEditable(bool on) {
    port_->setEnabled(on);
    speed_->setEnabled(on);
    board_->setEnabled(on);
    crystal_->setEnabled(on);
    command_->setEnabled(on);
    send_->setEnabled(on);
}

void MonitorDialog::send() {
    if (job_)
        return;
    const QString port = chosenPort();
    if (port.isEmpty()) {
        say(q(kChoosePort));
        return;
    }
    const unsigned baud = baudOf(speed_->currentText());
    if (baud == 0) {
        say(q(kBadSpeed));
        return;
    }
    const double crystal = crystalOf(crystal_->currentText());
    if (crystal == 0) {
        say(q(kMonitorBadCrystal));
        return;
    }
    const QString command = command_->text().trimmed();
    if (command.isEmpty()) {
        say(q(kMonitorBadCommand));
        return;
    }
    QFile file(s19Path_);
    if (!file.open(QIODevice::ReadOnly)) {
        say(QString::fromStdString(
            fillText(kMonitorCannotRead, {QDir::toNativeSeparators(s19Path_).toStdString(),
                                          file.errorString().toStdString()})));
        return;
    }
    std::string error;
    std::optional<S19Program> program = parseS19Program(file.readAll().toStdString(), error);
    if (!program) {
        say(QString::fromStdString(error));
        return;
    }
    MonitorSettings settings;
    settings.port = port.toStdString();
    settings.baud = baud;
    settings.command = command.toStdString();
    settings.board = monitorBoards()[static_cast<std::size_t>(std::max(board_->currentIndex(), 0))];
    settings.board.crystalHz = crystal;
    settings.keepOpen = true;

    emit aboutToSend(port);
    jobPort_ = port;
    jobBaud_ = baud;
    jobEntry_ = program->entry;
    job_ = new MonitorJob(std::move(*program), settings, factory_, this);
    connect(job_, &MonitorJob::progress, this,
            [this](qulonglong done, qulonglong total) { showProgress(progress_, done, total); });
    connect(job_, &MonitorJob::finished, this, &MonitorDialog::finish);
    setEditable(false);
    progress_->setValue(0);
    say(QString::fromStdString(fillText(kMonitorSending, {settings.port, std::to_string(baud)})));
    job_->start();
}

void MonitorDialog::finish(bool ok, const QString& message, const QByteArray& answer,
                           SerialLink* link) {
    job_->deleteLater();
    job_ = nullptr;
    setEditable(true);
    say(message);
    if (!ok)
        return;
    if (link)
        link->setParent(this);
    emit loaded(jobPort_, jobBaud_, answer, link, jobEntry_);
}

void MonitorDialog::reject() {
    if (job_) {
        job_->cancel();
        say(q(kCancelling));
        return;
    }
    QDialog::reject();
}

} // namespace kavrel::board
