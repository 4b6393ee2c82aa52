#include "simulation/chip_board.h"

#include "board/board_texts.h"
#include "board/bootstrap.h"
#include "board/dialog_parts.h"
#include "board/fill_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace kavrel::simulation {

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

QLabel* wrapped(const QString& text, QWidget* parent, const char* name = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

// --- a board of its own ---

BoardChipAccess::BoardChipAccess(board::TalkerSettings settings, board::Part part,
                                 std::vector<board::AddressRange> program, TransportFactory factory,
                                 QObject* parent)
    : ChipAccess(parent), settings_(std::move(settings)), program_(std::move(program)),
      factory_(std::move(factory)) {
    part_ = part;
    if (!factory_)
        factory_ = board::systemTransport;
    thread_ = new QThread(this);
    worker_ = new QObject;
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_->start();
}

BoardChipAccess::~BoardChipAccess() {
    cancel();
    // The line is closed where it was used, after what runs there now.
    QMetaObject::invokeMethod(
        worker_,
        [this] {
            if (talker_)
                talker_->close();
            talker_.reset();
            if (transport_)
                transport_->close();
            transport_.reset();
        },
        Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

QString BoardChipAccess::targetText() const {
    return q(board::kTargetBoard).arg(QString::fromStdString(settings_.port));
}

QString BoardChipAccess::faultText(const std::exception& error) const {
    if (const auto* port = dynamic_cast<const board::PortError*>(&error))
        return QString::fromStdString(
            board::portFaultMessage(*port, settings_.port, settings_.loadBaud));
    return QString::fromUtf8(error.what());
}

void BoardChipAccess::onWorker(std::function<void()> work,
                               std::function<void(const QString&)> failed) {
    cancelled_.store(false);
    QMetaObject::invokeMethod(
        worker_,
        [this, work = std::move(work), failed = std::move(failed)] {
            try {
                if (cancelled_.load())
                    throw board::TalkerError(board::TalkerFault::Cancelled,
                                             q(board::kCancelling).toStdString());
                work();
            } catch (const std::exception& error) {
                const QString message = faultText(error);
                QMetaObject::invokeMethod(
                    this, [failed, message] { failed(message); }, Qt::QueuedConnection);
            }
        },
        Qt::QueuedConnection);
}

void BoardChipAccess::told(std::size_t done, std::size_t total) {
    // The talker forgets a cancel that came just before its call began: said again.
    if (cancelled_.load() && talker_)
        talker_->cancel();
    emit progress(done, total);
}

void BoardChipAccess::requireTalker() const {
    if (!talker_ || !talker_->connected())
        throw board::TalkerError(board::TalkerFault::NoAnswer,
                                 board::fillText(board::kNoAnswer, {settings_.port}));
}

void BoardChipAccess::connectBoard() {
    onWorker(
        [this] {
            if (!transport_)
                transport_ = factory_();
            if (!talker_)
                talker_ = std::make_unique<board::Talker>(*transport_, settings_);
            running_.store(talker_.get());
            talker_->connect([this](std::size_t done, std::size_t total) { told(done, total); });
            running_.store(nullptr);
            QMetaObject::invokeMethod(
                this, [this] { emit connected(true, q(board::kConnected)); }, Qt::QueuedConnection);
        },
        [this](const QString& message) {
            running_.store(nullptr);
            emit connected(false, message);
        });
}

void BoardChipAccess::readConfig() {
    onWorker(
        [this] {
            requireTalker();
            const std::uint8_t inForce = talker_->configInForce();
            const int programmed = programmedConfig_.load();
            const auto atReset = static_cast<std::uint8_t>(programmed >= 0 ? programmed : inForce);
            QMetaObject::invokeMethod(
                this, [this, inForce, atReset] { emit configRead(true, inForce, atReset, {}); },
                Qt::QueuedConnection);
        },
        [this](const QString& message) { emit configRead(false, 0, 0, message); });
}

void BoardChipAccess::programConfig(std::uint8_t value) {
    onWorker(
        [this, value] {
            requireTalker();
            running_.store(talker_.get());
            talker_->programConfig(value);
            running_.store(nullptr);
            programmedConfig_.store(value);
            QMetaObject::invokeMethod(
                this, [this] { emit programmed(true, {}); }, Qt::QueuedConnection);
        },
        [this](const QString& message) {
            running_.store(nullptr);
            emit programmed(false, message);
        });
}

void BoardChipAccess::programEeprom(std::uint16_t address, QByteArray bytes) {
    onWorker(
        [this, address, bytes] {
            requireTalker();
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
            running_.store(talker_.get());
            talker_->programEeprom(
                address, {data, static_cast<std::size_t>(bytes.size())},
                [this](std::size_t done, std::size_t total) { told(done, total); });
            running_.store(nullptr);
            QMetaObject::invokeMethod(
                this, [this] { emit programmed(true, {}); }, Qt::QueuedConnection);
        },
        [this](const QString& message) {
            running_.store(nullptr);
            emit programmed(false, message);
        });
}

void BoardChipAccess::cancel() {
    cancelled_.store(true);
    if (board::Talker* talker = running_.load())
        talker->cancel();
}

// --- reaching a board ---

BoardConnectDialog::BoardConnectDialog(std::vector<board::AddressRange> program, QWidget* parent)
    : QDialog(parent), program_(std::move(program)) {
    setWindowTitle(q(board::kConnectTitle));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addWidget(wrapped(q(board::kConnectIntro), this));

    port_ = new board::PortChoice(this);
    part_ = new QComboBox(this);
    part_->setObjectName(QStringLiteral("part"));
    for (board::Part part : board::allParts())
        part_->addItem(q(board::partInfo(part).name), static_cast<int>(part));
    part_->setCurrentIndex(part_->findData(static_cast<int>(board::Part::E9)));
    crystal_ = new QLineEdit(QStringLiteral("8"), this);
    crystal_->setObjectName(QStringLiteral("crystal"));

    auto* form = new QFormLayout;
    form->addRow(q(board::kPortLabel), port_);
    form->addRow(q(board::kPartLabel), part_);
    form->addRow(q(board::kCrystalLabel), crystal_);
    layout->addLayout(form);

    progress_ = board::loadProgress(this, q(board::kProgressFormat));
    layout->addWidget(progress_);
    status_ = wrapped({}, this, "status");
    status_->setMinimumWidth(420);
    layout->addWidget(status_);

    auto* buttons = new QDialogButtonBox(this);
    connect_ = buttons->addButton(q(board::kConnect), QDialogButtonBox::AcceptRole);
    connect_->setObjectName(QStringLiteral("connect"));
    cancel_ = buttons->addButton(q(board::kCancel), QDialogButtonBox::RejectRole);
    cancel_->setObjectName(QStringLiteral("cancel"));
    layout->addWidget(buttons);
    connect(connect_, &QPushButton::clicked, this, &BoardConnectDialog::connectBoard);
    connect(cancel_, &QPushButton::clicked, this, &BoardConnectDialog::reject);
}

BoardConnectDialog::~BoardConnectDialog() {
    // A board not taken is let go here (its line closed, its thread ended).
    delete access_;
}

void BoardConnectDialog::setPortLister(std::function<QList<board::PortEntry>()> lister) {
    port_->setLister(std::move(lister));
}

void BoardConnectDialog::setTransportFactory(BoardChipAccess::TransportFactory factory) {
    factory_ = std::move(factory);
}

void BoardConnectDialog::refreshPorts() {
    port_->refresh();
}

QString BoardConnectDialog::statusText() const {
    return status_->text();
}

BoardChipAccess* BoardConnectDialog::takeAccess() {
    if (!connected_)
        return nullptr;
    BoardChipAccess* access = access_;
    access_ = nullptr;
    connected_ = false;
    if (access)
        access->setParent(nullptr);
    return access;
}

void BoardConnectDialog::setEditable(bool on) {
    port_->setEnabled(on);
    part_->setEnabled(on);
    crystal_->setEnabled(on);
    connect_->setEnabled(on);
}

void BoardConnectDialog::connectBoard() {
    if (access_)
        return;
    const QString port = port_->chosen();
    if (port.isEmpty()) {
        status_->setText(q(board::kChoosePort));
        return;
    }
    const double megahertz = board::crystalHzOf(crystal_->text(), 1.0, 16.0) / 1e6;
    if (megahertz == 0) {
        status_->setText(q(board::kBadCrystal));
        return;
    }
    const auto part = static_cast<board::Part>(part_->currentData().toInt());
    board::TalkerSettings settings;
    settings.port = port.toStdString();
    settings.family = board::partInfo(part).family;
    settings.eClockHz = megahertz * 1e6 / 4.0;
    // The loader's and the talker's speeds follow the crystal (given for 8 MHz).
    const double scale = megahertz / 8.0;
    settings.loadBaud = static_cast<unsigned>(1200 * scale + 0.5);
    settings.baud = static_cast<unsigned>(9600 * scale + 0.5);
    access_ = new BoardChipAccess(settings, part, program_, factory_, this);
    connect(access_, &ChipAccess::progress, this, [this](qulonglong done, qulonglong total) {
        board::showProgress(progress_, done, total);
    });
    connect(access_, &BoardChipAccess::connected, this, &BoardConnectDialog::finish);
    setEditable(false);
    status_->setText(q(board::kConnecting).arg(port));
    access_->connectBoard();
}

void BoardConnectDialog::finish(bool ok, const QString& message) {
    status_->setText(message);
    if (ok) {
        connected_ = true;
        accept();
        return;
    }
    // Let go of the line, so that the user may try again.
    access_->deleteLater();
    access_ = nullptr;
    setEditable(true);
    if (cancelling_)
        QDialog::reject();
}

void BoardConnectDialog::reject() {
    if (access_ && !connected_) {
        cancelling_ = true;
        status_->setText(q(board::kCancelling));
        access_->cancel();
        return;
    }
    QDialog::reject();
}

} // namespace kavrel::simulation
