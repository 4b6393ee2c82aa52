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
#include <QVBoxLayout>

#include "board/board_texts.h"
#include "board/dialog_parts.h"
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
    return board::crystalHzOf(text, 1.0, 20.0);
}

} // namespace

BoardDebugDialog::BoardDebugDialog(std::shared_ptr<const Program> program, QWidget* parent)
    : QDialog(parent), program_(std::move(program)) {
    setObjectName(QStringLiteral("BoardDebugDialog"));
    setWindowTitle(q(texts::kBoardDialogTitle));

    auto* source =
        new QLabel(QDir::toNativeSeparators(QString::fromStdString(program_->sourcePath())), this);
    source->setObjectName(QStringLiteral("source"));
    source->setTextInteractionFlags(Qt::TextSelectableByMouse);

    port_ = new board::PortChoice(this);

    familyA_ = new QRadioButton(q(texts::kBoardFamilyA), this);
    familyA_->setObjectName(QStringLiteral("familyA"));
    familyE_ = new QRadioButton(q(texts::kBoardFamilyE), this);
    familyE_->setObjectName(QStringLiteral("familyE"));
    familyE_->setChecked(true);
    auto* families = new QVBoxLayout;
    families->addWidget(familyA_);
    families->addWidget(familyE_);

    crystal_ = board::editableCombo(this, "crystal");
    for (const char* crystal : kCrystals)
        crystal_->addItem(q(crystal));

    loadSpeed_ = board::editableCombo(this, "loadSpeed");
    for (const char* speed : kLoadSpeeds)
        loadSpeed_->addItem(q(speed));

    resetByLines_ = new QCheckBox(q(board::kResetByLines), this);
    resetByLines_->setObjectName(QStringLiteral("resetByLines"));
    resetByLines_->setToolTip(q(board::kResetByLinesTip));

    progress_ = board::loadProgress(this, q(texts::kBoardProgressFormat));

    status_ = board::statusLabel(this);

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
    // Never smaller than its texts: a long status makes the dialog taller.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(buttons);
}

BoardDebugDialog::~BoardDebugDialog() {
    dropTarget();
}

void BoardDebugDialog::setPortLister(std::function<QList<board::PortEntry>()> lister) {
    port_->setLister(std::move(lister));
}

void BoardDebugDialog::setTransportFactory(BoardController::TransportFactory factory) {
    factory_ = std::move(factory);
}

void BoardDebugDialog::refreshPorts() {
    port_->refresh();
}

BoardChoices BoardDebugDialog::choices() const {
    BoardChoices out;
    out.port = port_->chosen();
    out.family = familyA_->isChecked() ? board::Family::A : board::Family::E;
    out.crystal = crystal_->currentText();
    out.loadSpeed = loadSpeed_->currentText();
    out.resetByLines = resetByLines_->isChecked();
    return out;
}

void BoardDebugDialog::setChoices(const BoardChoices& choices) {
    port_->choose(choices.port);
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
    const unsigned loadBaud = board::baudOf(chosen.loadSpeed);
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
                board::showProgress(progress_, done, std::max<qulonglong>(total, 1));
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
