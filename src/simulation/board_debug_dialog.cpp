#include "simulation/board_debug_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "board/board_texts.h"
#include "simulation/simulation_texts.h"

namespace kavrel::simulation {

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

constexpr const char* kCrystals[] = {"8", "4,9152", "12", "16"};
constexpr const char* kLoadSpeeds[] = {"1200", "7812", "9600"};

// MHz as typed, with a comma or a point: 0 when it is not a crystal.
double crystalOf(const QString& text) {
    QString typed = text.trimmed();
    typed.replace(QLatin1Char(','), QLatin1Char('.'));
    bool number = false;
    const double mhz = typed.toDouble(&number);
    return number && mhz >= 1.0 && mhz <= 20.0 ? mhz * 1e6 : 0.0;
}

unsigned baudOf(const QString& text) {
    bool number = false;
    const uint baud = text.trimmed().toUInt(&number);
    return number && baud >= 50 && baud <= 4000000 ? baud : 0;
}

QString shown(const board::PortEntry& entry) {
    QStringList about;
    if (!entry.description.isEmpty())
        about << entry.description;
    if (!entry.maker.isEmpty())
        about << entry.maker;
    return about.isEmpty() ? entry.location
                           : entry.location + QStringLiteral(" (") +
                                 about.join(QStringLiteral(", ")) + QStringLiteral(")");
}

} // namespace

BoardDebugDialog::BoardDebugDialog(std::shared_ptr<const Program> program, QWidget* parent)
    : QDialog(parent), program_(std::move(program)), lister_(board::systemPorts) {
    setObjectName(QStringLiteral("BoardDebugDialog"));
    setWindowTitle(q(texts::kBoardDialogTitle));

    auto* source =
        new QLabel(QDir::toNativeSeparators(QString::fromStdString(program_->sourcePath())), this);
    source->setObjectName(QStringLiteral("source"));
    source->setTextInteractionFlags(Qt::TextSelectableByMouse);

    port_ = new QComboBox(this);
    port_->setObjectName(QStringLiteral("port"));
    port_->setEditable(true);
    port_->setInsertPolicy(QComboBox::NoInsert);
    port_->lineEdit()->setPlaceholderText(q(board::kPortPlaceholder));
    port_->setMinimumContentsLength(32);

    familyA_ = new QRadioButton(q(texts::kBoardFamilyA), this);
    familyA_->setObjectName(QStringLiteral("familyA"));
    familyE_ = new QRadioButton(q(texts::kBoardFamilyE), this);
    familyE_->setObjectName(QStringLiteral("familyE"));
    familyE_->setChecked(true);
    auto* families = new QVBoxLayout;
    families->addWidget(familyA_);
    families->addWidget(familyE_);

    crystal_ = new QComboBox(this);
    crystal_->setObjectName(QStringLiteral("crystal"));
    crystal_->setEditable(true);
    crystal_->setInsertPolicy(QComboBox::NoInsert);
    for (const char* crystal : kCrystals)
        crystal_->addItem(q(crystal));

    loadSpeed_ = new QComboBox(this);
    loadSpeed_->setObjectName(QStringLiteral("loadSpeed"));
    loadSpeed_->setEditable(true);
    loadSpeed_->setInsertPolicy(QComboBox::NoInsert);
    for (const char* speed : kLoadSpeeds)
        loadSpeed_->addItem(q(speed));

    resetByLines_ = new QCheckBox(q(board::kResetByLines), this);
    resetByLines_->setObjectName(QStringLiteral("resetByLines"));
    resetByLines_->setToolTip(q(board::kResetByLinesTip));

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setFormat(q(texts::kBoardProgressFormat));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(this);
    connect_ = buttons->addButton(q(texts::kBoardConnect), QDialogButtonBox::AcceptRole);
    connect_->setObjectName(QStringLiteral("connect"));
    connect_->setDefault(true);
    cancel_ = buttons->addButton(q(texts::kBoardCancel), QDialogButtonBox::RejectRole);
    cancel_->setObjectName(QStringLiteral("cancel"));
    connect(connect_, &QPushButton::clicked, this, &BoardDebugDialog::connectBoard);
    connect(cancel_, &QPushButton::clicked, this, &BoardDebugDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(q(texts::kBoardSourceLabel), source);
    form->addRow(q(texts::kBoardPortLabel), port_);
    form->addRow(q(texts::kBoardFamilyLabel), families);
    form->addRow(q(texts::kBoardCrystalLabel), crystal_);
    form->addRow(q(board::kSpeedLabel), loadSpeed_);
    form->addRow(QString(), resetByLines_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    // Ports come and go: the list is looked at again.
    poll_ = new QTimer(this);
    poll_->setInterval(1000);
    connect(poll_, &QTimer::timeout, this, &BoardDebugDialog::refreshPorts);
    poll_->start();
    refreshPorts();
}

BoardDebugDialog::~BoardDebugDialog() {
    dropTarget();
}

void BoardDebugDialog::setPortLister(std::function<QList<board::PortEntry>()> lister) {
    lister_ = std::move(lister);
    ports_.clear();
    port_->clear();
    port_->setEditText(QString());
    refreshPorts();
}

void BoardDebugDialog::setTransportFactory(BoardController::TransportFactory factory) {
    factory_ = std::move(factory);
}

void BoardDebugDialog::refreshPorts() {
    const QList<board::PortEntry> now = lister_ ? lister_() : QList<board::PortEntry>{};
    bool same = now.size() == ports_.size() && port_->count() == static_cast<int>(now.size());
    for (qsizetype i = 0; same && i < now.size(); ++i)
        same = now[i].location == ports_[i].location;
    if (same)
        return;
    const QString chosen = choices().port;
    ports_ = now;
    const QSignalBlocker blocker(port_);
    port_->clear();
    for (const board::PortEntry& entry : ports_)
        port_->addItem(shown(entry), entry.location);
    const int index = port_->findData(chosen);
    if (index >= 0)
        port_->setCurrentIndex(index);
    else if (!chosen.isEmpty())
        port_->setEditText(chosen);
    else if (port_->count() > 0)
        port_->setCurrentIndex(0);
}

BoardChoices BoardDebugDialog::choices() const {
    BoardChoices out;
    const QString text = port_->currentText().trimmed();
    const int index = port_->currentIndex();
    out.port =
        index >= 0 && text == port_->itemText(index) ? port_->itemData(index).toString() : text;
    out.family = familyA_->isChecked() ? board::Family::A : board::Family::E;
    out.crystal = crystal_->currentText();
    out.loadSpeed = loadSpeed_->currentText();
    out.resetByLines = resetByLines_->isChecked();
    return out;
}

void BoardDebugDialog::setChoices(const BoardChoices& choices) {
    const int index = port_->findData(choices.port);
    if (index >= 0)
        port_->setCurrentIndex(index);
    else if (!choices.port.isEmpty())
        port_->setEditText(choices.port);
    (choices.family == board::Family::A ? familyA_ : familyE_)->setChecked(true);
    crystal_->setCurrentText(choices.crystal);
    loadSpeed_->setCurrentText(choices.loadSpeed);
    resetByLines_->setChecked(choices.resetByLines);
}

QString BoardDebugDialog::statusText() const {
    return status_->text();
}

void BoardDebugDialog::setEditable(bool on) {
    for (QWidget* widget : std::initializer_list<QWidget*>{port_, familyA_, familyE_, crystal_,
                                                           loadSpeed_, resetByLines_, connect_})
        widget->setEnabled(on);
}

void BoardDebugDialog::connectBoard() {
    if (target_)
        return;
    const BoardChoices chosen = choices();
    if (chosen.port.isEmpty()) {
        status_->setText(q(texts::kBoardChoosePort));
        return;
    }
    const double crystal = crystalOf(chosen.crystal);
    if (crystal == 0) {
        status_->setText(q(texts::kBoardBadCrystal));
        return;
    }
    const unsigned loadBaud = baudOf(chosen.loadSpeed);
    if (loadBaud == 0) {
        status_->setText(q(board::kBadSpeed));
        return;
    }
    board::TalkerSettings settings;
    settings.port = chosen.port.toStdString();
    settings.family = chosen.family;
    settings.eClockHz = crystal / 4;
    settings.loadBaud = loadBaud;
    settings.resetByLines = chosen.resetByLines;
    info_.port = chosen.port;
    info_.chip = chosen.family == board::Family::A ? sim11::Chip::A1 : sim11::Chip::E9;
    info_.description = q(texts::kBoardDescription)
                            .arg(QLatin1String(board::familyName(chosen.family)))
                            .arg(QLocale(QLocale::French).toString(crystal / 1e6, 'g', 6))
                            .arg(chosen.port);

    emit aboutToConnect(chosen.port);
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("Carte"));
    target_ = new BoardController(settings, program_, factory_);
    target_->moveToThread(thread_);
    connect(target_, &BoardController::loadProgress, this,
            [this](qulonglong done, qulonglong total, bool program) {
                if (program)
                    status_->setText(q(texts::kBoardLoadingProgram));
                progress_->setRange(0, static_cast<int>(std::max<qulonglong>(total, 1)));
                progress_->setValue(static_cast<int>(done));
                progress_->setTextVisible(true);
            });
    connect(target_, &BoardController::connected, this, &BoardDebugDialog::finished);
    thread_->start();
    setEditable(false);
    progress_->setValue(0);
    status_->setText(q(texts::kBoardLoadingTalker).arg(chosen.port));
    QMetaObject::invokeMethod(
        target_, [t = target_] { t->connectBoard(); }, Qt::QueuedConnection);
}

void BoardDebugDialog::finished(bool ok, const QString& message) {
    status_->setText(message);
    setEditable(true);
    if (!ok) {
        dropTarget();
        return;
    }
    QThread* thread = thread_;
    BoardController* target = target_;
    thread_ = nullptr;
    target_ = nullptr;
    disconnect(target, nullptr, this, nullptr);
    emit ready(thread, target, info_);
}

void BoardDebugDialog::dropTarget() {
    if (!target_)
        return;
    target_->abandon();
    BoardController* target = target_;
    QMetaObject::invokeMethod(
        target, [target] { delete target; }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    target_ = nullptr;
}

void BoardDebugDialog::reject() {
    if (target_) {
        target_->abandon();
        status_->setText(q(texts::kBoardCancelling));
        return;
    }
    QDialog::reject();
}

} // namespace kavrel::simulation
