#include "simulation/chip_dialogs.h"

#include "board/board_texts.h"
#include "board/fill_text.h"
#include "common/hex_text.h"
#include "editor/common_dialog.h"
#include "sim11/s19.h"
#include "workspace/message_boxes.h"
#include "workspace/workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>

namespace kavrel::simulation {

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QString hexByte(std::uint8_t value) {
    return q(hex::byte(value));
}

QLabel* wrapped(const QString& text, QWidget* parent, const char* name = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    return label;
}

// Box texts use CR LF, as every other message box of the program.
QString boxText(const std::string& text) {
    return q(text);
}

// "Circuit :" and the part: a list where the target may be any of its
// family's, `chosen` called on a change.
QWidget* partRow(ChipAccess* access, QWidget* parent,
                 const std::function<void(board::Part)>& chosen) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(q(board::kPartLabel), row));
    const std::vector<board::Part> parts = access->possibleParts();
    if (parts.size() < 2) {
        auto* name = new QLabel(q(board::partInfo(access->part()).name), row);
        name->setObjectName(QStringLiteral("part"));
        layout->addWidget(name);
    } else {
        auto* list = new QComboBox(row);
        list->setObjectName(QStringLiteral("part"));
        for (board::Part part : parts)
            list->addItem(q(board::partInfo(part).name), static_cast<int>(part));
        list->setCurrentIndex(list->findData(static_cast<int>(access->part())));
        QObject::connect(list, &QComboBox::currentIndexChanged, row, [list, access, chosen] {
            const auto part = static_cast<board::Part>(list->currentData().toInt());
            access->setPart(part);
            chosen(part);
        });
        layout->addWidget(list);
    }
    layout->addStretch();
    return row;
}

} // namespace

// --- "Configurer le circuit (CONFIG)..." ---

ConfigDialog::ConfigDialog(Workspace& workspace, ChipAccess* access, QWidget* parent)
    : QDialog(parent), workspace_(workspace), access_(access), part_(access->part()) {
    setWindowTitle(q(board::kConfigTitle));
    auto* layout = new QVBoxLayout(this);
    // Never smaller than its texts, whole, as the status and the values change.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addWidget(wrapped(q(board::kTargetLabel).arg(access->targetText()), this, "target"));
    layout->addWidget(partRow(access, this, [this](board::Part part) {
        part_ = part;
        showBits();
    }));

    auto* bits = new QGroupBox(q(board::kBitsTitle), this);
    bitsGrid_ = new QGridLayout(bits);
    bitsGrid_->setColumnStretch(1, 1);
    layout->addWidget(bits);
    showBits();

    auto* values = new QHBoxLayout;
    inForceLabel_ = new QLabel(this);
    inForceLabel_->setObjectName(QStringLiteral("inForce"));
    atResetLabel_ = new QLabel(this);
    atResetLabel_->setObjectName(QStringLiteral("atReset"));
    newLabel_ = new QLabel(this);
    newLabel_->setObjectName(QStringLiteral("newValue"));
    values->addWidget(inForceLabel_);
    values->addWidget(atResetLabel_);
    values->addWidget(newLabel_);
    values->addStretch();
    layout->addLayout(values);

    status_ = wrapped(q(board::kConfigReading), this, "status");
    status_->setMinimumWidth(480);
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 3);
    layout->addWidget(status_);

    auto* buttons = new QDialogButtonBox(this);
    program_ = buttons->addButton(q(board::kProgram), QDialogButtonBox::ActionRole);
    program_->setObjectName(QStringLiteral("program"));
    close_ = buttons->addButton(q(board::kClose), QDialogButtonBox::RejectRole);
    close_->setObjectName(QStringLiteral("close"));
    layout->addWidget(buttons);
    connect(program_, &QPushButton::clicked, this, &ConfigDialog::program);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    connect(access_, &ChipAccess::configRead, this, &ConfigDialog::read);
    connect(access_, &ChipAccess::programmed, this, &ConfigDialog::programmed);
    showValues();
    setBusy(true);
    access_->readConfig();
}

void ConfigDialog::showBits() {
    qDeleteAll(bitWidgets_);
    bitWidgets_.clear();
    boxes_.clear();
    for (const board::ConfigBit& bit : board::configBits(part_)) {
        auto* box = new QCheckBox(QString::fromLatin1(bit.name), this);
        box->setObjectName(QString::fromLatin1(bit.name));
        box->setProperty("mask", bit.mask);
        box->setToolTip(q(bit.meaning));
        auto* meaning = wrapped(q(bit.meaning), this);
        meaning->setMinimumWidth(420);
        meaning->setBuddy(box);
        const int row = static_cast<int>(boxes_.size());
        bitsGrid_->addWidget(box, row, 0, Qt::AlignTop);
        bitsGrid_->addWidget(meaning, row, 1);
        boxes_ << box;
        bitWidgets_ << box << meaning;
        connect(box, &QCheckBox::toggled, this, &ConfigDialog::showValues);
        if (atReset_)
            box->setChecked((*atReset_ & bit.mask) != 0);
        box->setEnabled(!busy_ && atReset_.has_value());
    }
    if (newLabel_)
        showValues();
}

QCheckBox* ConfigDialog::bit(const QString& name) const {
    for (QCheckBox* box : boxes_)
        if (box->objectName() == name)
            return box;
    return nullptr;
}

QStringList ConfigDialog::bitNames() const {
    QStringList names;
    for (QCheckBox* box : boxes_)
        names << box->objectName();
    return names;
}

QString ConfigDialog::statusText() const {
    return status_->text();
}

QString ConfigDialog::inForceText() const {
    return inForceLabel_->text();
}

QString ConfigDialog::atResetText() const {
    return atResetLabel_->text();
}

std::uint8_t ConfigDialog::chosenValue() const {
    // The bits the part lacks are kept as the cell holds them.
    std::uint8_t value = atReset_.value_or(board::partInfo(part_).erased);
    for (QCheckBox* box : boxes_) {
        const auto mask = static_cast<std::uint8_t>(box->property("mask").toUInt());
        value = static_cast<std::uint8_t>(box->isChecked() ? value | mask : value & ~mask);
    }
    return value;
}

void ConfigDialog::showValues() {
    const QString unknown = q(board::kConfigUnknown);
    inForceLabel_->setText(q(board::kConfigInForce).arg(inForce_ ? hexByte(*inForce_) : unknown));
    atResetLabel_->setText(q(board::kConfigNext).arg(atReset_ ? hexByte(*atReset_) : unknown));
    newLabel_->setText(q(board::kConfigNew).arg(atReset_ ? hexByte(chosenValue()) : unknown));
}

void ConfigDialog::setBusy(bool on) {
    busy_ = on;
    program_->setEnabled(!on && atReset_.has_value());
    for (QCheckBox* box : boxes_)
        box->setEnabled(!on && atReset_.has_value());
}

void ConfigDialog::say(const QString& text) {
    status_->setText(text);
}

void ConfigDialog::read(bool ok, quint8 inForce, quint8 atReset, const QString& message) {
    // A read that comes while a programming runs tells nothing of its end.
    if (expected_ && !checking_)
        return;
    if (!ok) {
        say(message);
        expected_.reset();
        checking_ = false;
        setBusy(false);
        emit finishedProgramming(false);
        return;
    }
    const bool first = !atReset_.has_value();
    inForce_ = inForce;
    atReset_ = atReset;
    for (QCheckBox* box : boxes_) {
        const QSignalBlocker quiet(box);
        box->setChecked((atReset & box->property("mask").toUInt()) != 0);
    }
    showValues();
    setBusy(false);
    if (!expected_) {
        if (first)
            say(q(board::kConfigRead));
        return;
    }
    // The read that checks a programming.
    const std::uint8_t expected = *expected_;
    expected_.reset();
    checking_ = false;
    const bool same = board::sameConfig(part_, atReset, expected);
    say(same ? q(board::kConfigDone).arg(hexByte(expected))
             : q(board::kConfigVerifyFailed).arg(hexByte(atReset), hexByte(expected)));
    emit finishedProgramming(same);
}

void ConfigDialog::program() {
    if (busy_ || !atReset_)
        return;
    const board::ConfigChange change =
        board::analyseConfigChange(part_, *atReset_, chosenValue(), access_->programRanges());
    if (change.unchanged) {
        say(q(board::kConfigUnchanged).arg(hexByte(*atReset_)));
        return;
    }
    if (change.asksFirst()) {
        const app::BoxAnswer answer = workspace_.messages().show(
            this, q(board::kConfigTitle), boxText(board::confirmText(part_, change)),
            app::BoxIcon::Warning, app::BoxButtons::YesNo);
        if (answer != app::BoxAnswer::Yes) {
            say(q(board::kConfigNotProgrammed));
            emit finishedProgramming(false);
            return;
        }
    }
    expected_ = change.value;
    say(q(board::kConfigProgramming).arg(hexByte(change.value)));
    setBusy(true);
    access_->programConfig(change.value);
}

void ConfigDialog::programmed(bool ok, const QString& message) {
    if (!expected_)
        return; // not ours
    if (!ok) {
        expected_.reset();
        say(message);
        setBusy(false);
        emit finishedProgramming(false);
        return;
    }
    // Verified by reading the cell back.
    checking_ = true;
    access_->readConfig();
}

// --- "Programmer l'EEPROM..." ---

EepromDialog::EepromDialog(Workspace& workspace, ChipAccess* access, const QString& s19Path,
                           QWidget* parent)
    : QDialog(parent), workspace_(workspace), access_(access) {
    setWindowTitle(q(board::kEepromTitle));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addWidget(wrapped(q(board::kTargetLabel).arg(access->targetText()), this, "target"));
    layout->addWidget(partRow(access, this, [this](board::Part) {
        if (inForce_)
            place(*inForce_);
    }));

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(q(board::kFileLabel), this));
    fileEdit_ = new QLineEdit(this);
    fileEdit_->setObjectName(QStringLiteral("file"));
    fileEdit_->setReadOnly(true);
    fileEdit_->setMinimumWidth(360);
    fileRow->addWidget(fileEdit_, 1);
    choose_ = new QPushButton(q(board::kChooseFile), this);
    choose_->setObjectName(QStringLiteral("choose"));
    fileRow->addWidget(choose_);
    layout->addLayout(fileRow);

    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName(QStringLiteral("records"));
    table_->setHorizontalHeaderLabels(
        {q(board::kColumnAddress), q(board::kColumnCount), q(board::kColumnData)});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(table_, 1);

    notice_ = wrapped({}, this, "notice");
    layout->addWidget(notice_);
    progress_ = new QProgressBar(this);
    progress_->setFormat(q(board::kProgressFormat));
    progress_->setValue(0);
    layout->addWidget(progress_);
    status_ = wrapped(q(board::kConfigReading), this, "status");
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 2);
    layout->addWidget(status_);

    auto* buttons = new QDialogButtonBox(this);
    program_ = buttons->addButton(q(board::kProgram), QDialogButtonBox::ActionRole);
    program_->setObjectName(QStringLiteral("program"));
    cancel_ = buttons->addButton(q(board::kClose), QDialogButtonBox::RejectRole);
    cancel_->setObjectName(QStringLiteral("cancel"));
    layout->addWidget(buttons);
    connect(choose_, &QPushButton::clicked, this, &EepromDialog::chooseFile);
    connect(program_, &QPushButton::clicked, this, &EepromDialog::program);
    connect(cancel_, &QPushButton::clicked, this, &EepromDialog::reject);

    connect(access_, &ChipAccess::configRead, this,
            [this](bool ok, quint8 inForce, quint8, const QString& message) {
                if (!ok) {
                    say(message);
                    return;
                }
                place(inForce);
            });
    connect(access_, &ChipAccess::progress, this, [this](qulonglong done, qulonglong) {
        if (!busy_)
            return;
        done_ = before_ + static_cast<std::size_t>(done);
        progress_->setValue(static_cast<int>(done_));
    });
    connect(access_, &ChipAccess::programmed, this, [this](bool ok, const QString& message) {
        if (!busy_)
            return;
        if (!ok) {
            setBusy(false);
            say(cancelling_ ? q(board::kEepromCancelled)
                                  .arg(q(board::byteCount(done_)), QString::number(total_))
                            : message);
            cancelling_ = false;
            emit finishedProgramming(false);
            return;
        }
        before_ += records_.inside[segment_].bytes.size();
        done_ = before_;
        progress_->setValue(static_cast<int>(done_));
        ++segment_;
        next();
    });

    setBusy(true);
    if (!s19Path.isEmpty())
        setFile(s19Path);
    access_->readConfig();
}

void EepromDialog::place(std::uint8_t inForce) {
    // The EEPROM is where CONFIG in force puts it, until a reset.
    inForce_ = inForce;
    const board::Part part = access_->part();
    eeprom_ = board::eepromRange(part, inForce);
    eepromOff_ = !board::mappedEeprom(part, inForce);
    if (!busy_ || !total_)
        showRecords();
}

QString EepromDialog::noticeText() const {
    return notice_->text();
}

QString EepromDialog::statusText() const {
    return status_->text();
}

void EepromDialog::say(const QString& text) {
    status_->setText(text);
}

void EepromDialog::setBusy(bool on) {
    busy_ = on;
    choose_->setEnabled(!on);
    program_->setEnabled(!on && eeprom_ && !eepromOff_ && !records_.inside.empty());
    cancel_->setText(q(on && total_ ? board::kCancel : board::kClose));
}

void EepromDialog::chooseFile() {
    const QString chosen = editor::FileDialog(workspace_, q(board::kOpenS19Title),
                                              q(board::kS19Filter), editor::kModeOpen);
    if (!chosen.isEmpty())
        setFile(chosen);
}

bool EepromDialog::setFile(const QString& path) {
    path_ = QDir::toNativeSeparators(path);
    fileEdit_->setText(path_);
    blocks_.clear();
    QFile file(path);
    std::string error;
    sim11::S19Image image;
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString().toStdString();
    } else if (sim11::parseS19(file.readAll().toStdString(), image, error)) {
        for (const sim11::S19Block& block : image.blocks)
            blocks_.push_back({block.address, block.bytes});
    }
    if (blocks_.empty()) {
        notice_->setText(q(board::kEepromBadFile).arg(path_, q(error)));
        records_ = {};
        table_->setRowCount(0);
        setBusy(busy_);
        return false;
    }
    showRecords();
    return true;
}

void EepromDialog::showRecords() {
    if (blocks_.empty() || !eeprom_) {
        setBusy(!eeprom_);
        if (eeprom_ && path_.isEmpty())
            say(q(board::kEepromNoFile));
        return;
    }
    records_ = board::eepromRecords(blocks_, *eeprom_);
    table_->setRowCount(static_cast<int>(records_.inside.size()));
    int row = 0;
    for (const board::MemoryBlock& block : records_.inside) {
        QString data;
        for (std::size_t k = 0; k < block.bytes.size() && k < 16; ++k)
            data += q(hex::digits(block.bytes[k], 2)) + QLatin1Char(' ');
        if (block.bytes.size() > 16)
            data += QStringLiteral("...");
        table_->setItem(row, 0, new QTableWidgetItem(q(hex::word(block.address))));
        table_->setItem(row, 1, new QTableWidgetItem(QString::number(block.bytes.size())));
        table_->setItem(row, 2, new QTableWidgetItem(data.trimmed()));
        ++row;
    }
    notice_->setText(q(board::recordsNotice(records_, *eeprom_)));
    total_ = 0;
    setBusy(false);
    if (eepromOff_) {
        say(q(board::kEepromOff));
        return;
    }
    const std::string where =
        board::fillText(board::kRange, {hex::word(eeprom_->first), hex::word(eeprom_->last),
                                        board::byteCount(eeprom_->size())});
    progress_->setRange(0, static_cast<int>(std::max<std::size_t>(records_.byteCount(), 1)));
    progress_->setValue(0);
    if (!records_.inside.empty())
        say(q(board::fillText(board::kEepromSummary,
                              {board::byteCount(records_.byteCount()), where})));
}

void EepromDialog::program() {
    if (busy_ || records_.inside.empty() || eepromOff_)
        return;
    segment_ = 0;
    done_ = before_ = 0;
    total_ = records_.byteCount();
    progress_->setRange(0, static_cast<int>(total_));
    progress_->setValue(0);
    say(q(board::kEepromProgramming));
    setBusy(true);
    next();
}

void EepromDialog::next() {
    if (segment_ >= records_.inside.size()) {
        total_ = 0;
        setBusy(false);
        say(q(board::kEepromDone).arg(q(board::byteCount(done_))));
        emit finishedProgramming(true);
        return;
    }
    if (cancelling_) {
        // Between two runs: nothing is under way to end.
        cancelling_ = false;
        const std::size_t all = total_;
        total_ = 0;
        setBusy(false);
        say(q(board::kEepromCancelled).arg(q(board::byteCount(done_)), QString::number(all)));
        emit finishedProgramming(false);
        return;
    }
    const board::MemoryBlock& block = records_.inside[segment_];
    access_->programEeprom(block.address,
                           QByteArray(reinterpret_cast<const char*>(block.bytes.data()),
                                      static_cast<qsizetype>(block.bytes.size())));
}

void EepromDialog::reject() {
    if (busy_ && total_) {
        cancelling_ = true;
        say(q(board::kCancelling));
        access_->cancel();
        return;
    }
    QDialog::reject();
}

} // namespace kavrel::simulation
