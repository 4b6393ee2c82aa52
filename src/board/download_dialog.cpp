#include "board/download_dialog.h"

#include "board/board_texts.h"
#include "board/dialog_parts.h"
#include "board/fill_text.h"
#include "platform/failure.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kavrel::board {

namespace {

// What the loaders of both families accept with an 8 MHz crystal first.
constexpr const char* kSpeeds[] = {"1200", "7812", "9600"};
// What programs of the course commonly set once loaded.
constexpr const char* kProgramSpeeds[] = {"1200", "2400", "4800", "7812", "9600", "19200"};

QString q(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

DownloadDialog::DownloadDialog(const QString& booPath, QWidget* parent)
    : QDialog(parent), booPath_(booPath) {
    setWindowTitle(q(kDialogTitle));
    // loaded() carries it, also to queued receivers.
    qRegisterMetaType<SerialLink*>();

    auto* file = new QLabel(QDir::toNativeSeparators(booPath), this);
    file->setObjectName(QStringLiteral("file"));
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);

    port_ = new PortChoice(this);

    familyA_ = new QRadioButton(q(kFamilyA), this);
    familyA_->setObjectName(QStringLiteral("familyA"));
    familyE_ = new QRadioButton(q(kFamilyE), this);
    familyE_->setObjectName(QStringLiteral("familyE"));
    familyE_->setChecked(true);
    auto* families = new QVBoxLayout;
    families->addWidget(familyA_);
    families->addWidget(familyE_);

    speed_ = editableCombo(this, "speed");
    for (const char* speed : kSpeeds)
        speed_->addItem(q(speed));
    speed_->setCurrentIndex(0);

    programSpeed_ = editableCombo(this, "programSpeed");
    programSpeed_->addItem(q(kSameSpeed));
    for (const char* speed : kProgramSpeeds)
        programSpeed_->addItem(q(speed));
    programSpeed_->setCurrentIndex(0);

    resetByLines_ = new QCheckBox(q(kResetByLines), this);
    resetByLines_->setObjectName(QStringLiteral("resetByLines"));
    resetByLines_->setToolTip(q(kResetByLinesTip));

    progress_ = loadProgress(this, q(kProgressFormat));

    status_ = statusLabel(this);

    auto* buttons = new QDialogButtonBox(this);
    send_ = buttons->addButton(q(kSend), QDialogButtonBox::AcceptRole);
    send_->setObjectName(QStringLiteral("send"));
    send_->setDefault(true);
    cancel_ = buttons->addButton(q(kCancel), QDialogButtonBox::RejectRole);
    cancel_->setObjectName(QStringLiteral("cancel"));
    connect(send_, &QPushButton::clicked, this, &DownloadDialog::send);
    connect(cancel_, &QPushButton::clicked, this, &DownloadDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(q(kFileLabel), file);
    form->addRow(q(kPortLabel), port_);
    form->addRow(q(kFamilyLabel), families);
    form->addRow(q(kSpeedLabel), speed_);
    form->addRow(q(kProgramSpeedLabel), programSpeed_);
    form->addRow(QString(), resetByLines_);
    auto* layout = new QVBoxLayout(this);
    // Never smaller than its texts: a long status makes the dialog taller.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(buttons);
}

DownloadDialog::~DownloadDialog() = default;

void DownloadDialog::setPortLister(std::function<QList<PortEntry>()> lister) {
    port_->setLister(std::move(lister));
}

void DownloadDialog::setTransportFactory(DownloadJob::TransportFactory factory) {
    factory_ = std::move(factory);
}

void DownloadDialog::refreshPorts() {
    port_->refresh();
}

QString DownloadDialog::chosenPort() const {
    return port_->chosen();
}

DownloadChoices DownloadDialog::choices() const {
    return {chosenPort(), family(), speed_->currentText(), programSpeed_->currentText(),
            resetByLines_->isChecked()};
}

void DownloadDialog::setChoices(const DownloadChoices& choices) {
    port_->choose(choices.port);
    (choices.family == Family::A ? familyA_ : familyE_)->setChecked(true);
    if (!choices.speed.isEmpty())
        speed_->setCurrentText(choices.speed);
    if (!choices.programSpeed.isEmpty())
        programSpeed_->setCurrentText(choices.programSpeed);
    resetByLines_->setChecked(choices.resetByLines);
}

Family DownloadDialog::family() const {
    return familyA_->isChecked() ? Family::A : Family::E;
}

unsigned DownloadDialog::programBaud() const {
    const QString text = programSpeed_->currentText();
    if (text == q(kSameSpeed))
        return baudOf(speed_->currentText());
    return baudOf(text);
}

QString DownloadDialog::statusText() const {
    return status_->text();
}

void DownloadDialog::say(const QString& text) {
    status_->setText(text);
}

void DownloadDialog::setEditable(bool on) {
    port_->setEnabled(on);
    familyA_->setEnabled(on);
    familyE_->setEnabled(on);
    speed_->setEnabled(on);
    programSpeed_->setEnabled(on);
    resetByLines_->setEnabled(on);
    send_->setEnabled(on);
}

void DownloadDialog::send() {
    if (job_)
        return;
    const QString port = chosenPort();
    if (port.isEmpty()) {
        say(q(kChoosePort));
        return;
    }
    const unsigned baud = baudOf(speed_->currentText());
    if (baud == 0 || programBaud() == 0) {
        say(q(kBadSpeed));
        return;
    }
    std::vector<std::uint8_t> program;
    try {
        program = readBootImage(booPath_.toStdString());
    } catch (const Failure& failure) {
        say(QString::fromStdString(failure.reason()));
        return;
    }
    DownloadSettings settings;
    settings.port = port.toStdString();
    settings.baud = baud;
    settings.family = family();
    settings.keepOpen = true;
    settings.resetByLines = resetByLines_->isChecked();

    emit aboutToSend(port);
    job_ = new DownloadJob(std::move(program), settings, factory_, this);
    jobPort_ = port;
    jobBaud_ = baud;
    connect(job_, &DownloadJob::progress, this,
            [this](qulonglong done, qulonglong total) { showProgress(progress_, done, total); });
    connect(job_, &DownloadJob::finished, this, &DownloadDialog::finish);
    setEditable(false);
    progress_->setValue(0);
    say(QString::fromStdString(fillText(kSending, {settings.port, std::to_string(baud)})));
    job_->start();
}

void DownloadDialog::finish(bool ok, const QString& message, const QByteArray& output,
                            SerialLink* link) {
    job_->deleteLater();
    job_ = nullptr;
    setEditable(true);
    say(message);
    if (!ok)
        return;
    if (link)
        link->setParent(this);
    emit loaded(jobPort_, jobBaud_, output, link);
}

void DownloadDialog::reject() {
    if (job_) {
        job_->cancel();
        say(q(kCancelling));
        return;
    }
    QDialog::reject();
}

} // namespace kavrel::board
