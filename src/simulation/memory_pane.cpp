#include "simulation/memory_pane.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStringListModel>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>
#include <set>

#include "common/hex_text.h"
#include "simulation/debug_model.h"
#include "simulation/memory_format.h"
#include "simulation/simulation_texts.h"

namespace kavrel::simulation {

namespace {

const QColor kChangedColour(0xC0, 0x00, 0x00);
const QColor kRegisterBlockColour(0xE8, 0xF0, 0xFF);
const QColor kWatchedColour(0xFF, 0xD8, 0x90);

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

// What both views show: the memory now, and what the changes are counted from.
struct MemoryState {
    std::array<std::uint8_t, 0x10000> now{};
    std::array<std::uint8_t, 0x10000> reference{};
    std::array<std::uint8_t, 0x10000> lastStop{};
    // Bytes not read from the target, now and in the two above (null: all read).
    std::shared_ptr<const std::bitset<0x10000>> unreadNow, unreadReference, unreadLastStop;
    bool haveReference = false;
    bool haveStop = false;
    bool stopped = true;
    sim11::Chip chip = sim11::Chip::E9;
    std::uint16_t registerBase = 0x1000;
    std::function<void(std::uint16_t, std::uint8_t)> edit;
    const DebugModel* debug = nullptr;

    bool watched(std::uint16_t address) const { return debug->watched(address) != sim11::Access{}; }

    bool unread(std::uint16_t address) const { return unreadNow && unreadNow->test(address); }
    bool changed(std::uint16_t address) const {
        return haveReference && now[address] != reference[address] && !unread(address) &&
               !(unreadReference && unreadReference->test(address));
    }
    // The register of the chip at that address, if the block is there.
    std::optional<RegisterName> registerAt(std::uint16_t address) const {
        const int offset = address - registerBase;
        if (offset < 0 || offset >= kRegisterBlockSize)
            return std::nullopt;
        return registerName(chip, offset);
    }
    QString registerLabel(std::uint16_t address) const {
        const auto reg = registerAt(address);
        if (!reg)
            return {};
        if (!reg->name)
            return QString::fromUtf8(texts::kReserved);
        QString label = QString::fromLatin1(reg->name);
        if (reg->lowByte)
            label += QString::fromUtf8(texts::kLowByte);
        else if (reg->name && registerAt(address + 1) && registerAt(address + 1)->lowByte)
            label += QString::fromUtf8(texts::kHighByte);
        return label;
    }
    // "$1004 PORTB = $55 (85)", and whether it changed.
    QString describe(std::uint16_t address) const {
        const QString name = registerLabel(address);
        if (unread(address))
            return QString::fromUtf8(texts::kCellNotRead)
                .arg(qs(hex::word(address)), name.isEmpty() ? QString() : u' ' + name);
        QString text = QString::fromUtf8(texts::kCellDescription)
                           .arg(qs(hex::word(address)), name.isEmpty() ? QString() : u' ' + name,
                                qs(hex::byte(now[address])))
                           .arg(now[address]);
        if (changed(address))
            text += QString::fromUtf8(texts::kChanged);
        switch (debug->watched(address)) {
        case sim11::Access::ReadWrite:
            text += QString::fromUtf8(texts::kWatchedBoth);
            break;
        case sim11::Access::Write:
            text += QString::fromUtf8(texts::kWatchedWrite);
            break;
        case sim11::Access::Read:
            text += QString::fromUtf8(texts::kWatchedRead);
            break;
        default:
            break;
        }
        return text;
    }
    // An edit typed in a view: false when the text is no byte.
    bool apply(std::uint16_t address, std::optional<std::uint8_t> value) {
        if (!value || !stopped)
            return false;
        now[address] = *value;
        if (edit)
            edit(address, *value);
        return true;
    }
};

// Sixteen bytes a row: sixteen hexadecimal cells, then sixteen characters.
class MemoryModel : public QAbstractTableModel {
public:
    explicit MemoryModel(MemoryState& state, QObject* parent)
        : QAbstractTableModel(parent), state_(state) {}

    static constexpr int kRows = 0x10000 / kBytesPerRow;
    static int hexColumn(std::uint16_t address) { return address % kBytesPerRow; }
    static std::uint16_t addressOf(const QModelIndex& index) {
        return static_cast<std::uint16_t>(index.row() * kBytesPerRow +
                                          index.column() % kBytesPerRow);
    }
    static bool isCharColumn(int column) { return column >= kBytesPerRow; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kRows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 2 * kBytesPerRow;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        const std::uint16_t address = addressOf(index);
        const std::uint8_t value = state_.now[address];
        const bool chars = isCharColumn(index.column());
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            if (state_.unread(address))
                return chars ? QStringLiteral(" ") : QString::fromUtf8(texts::kByteNotRead);
            return chars ? qs(byteChar(value)) : qs(hex::digits(value, 2));
        case Qt::ForegroundRole:
            if (state_.changed(address))
                return kChangedColour;
            return {};
        case Qt::FontRole:
            if (state_.changed(address)) {
                QFont bold = QFontDatabase::systemFont(QFontDatabase::FixedFont);
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::BackgroundRole:
            if (state_.watched(address))
                return kWatchedColour;
            if (state_.registerAt(address))
                return kRegisterBlockColour;
            return {};
        case Qt::ToolTipRole:
            return state_.describe(address);
        case Qt::TextAlignmentRole:
            return Qt::AlignCenter;
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Vertical)
            return qs(hex::word(static_cast<std::uint16_t>(section * kBytesPerRow)));
        return QString(QLatin1Char(hex::digit(static_cast<unsigned>(section))));
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags flags = QAbstractTableModel::flags(index);
        if (state_.stopped)
            flags |= Qt::ItemIsEditable;
        return flags;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || role != Qt::EditRole)
            return false;
        const std::string typed = value.toString().toStdString();
        std::optional<std::uint8_t> byte;
        if (isCharColumn(index.column())) {
            const std::string encoded = terminalByte(typed);
            if (encoded.size() == 1)
                byte = static_cast<std::uint8_t>(encoded[0]);
        } else {
            byte = parseByte(typed);
        }
        const std::uint16_t address = addressOf(index);
        if (!state_.apply(address, byte))
            return false;
        const int row = index.row();
        emit dataChanged(this->index(row, hexColumn(address)),
                         this->index(row, kBytesPerRow + hexColumn(address)));
        return true;
    }

    void refresh() { emit dataChanged(index(0, 0), index(kRows - 1, 2 * kBytesPerRow - 1)); }

private:
    // A character typed in the character column, as its byte.
    static std::string terminalByte(const std::string& typed) {
        const auto byte = parseByte("'" + typed + "'");
        return byte ? std::string(1, static_cast<char>(*byte)) : std::string();
    }

    MemoryState& state_;
};

// The chip's 64 registers, one a row, wherever INIT put them.
class ChipRegistersModel : public QAbstractTableModel {
public:
    enum Column { Address, Name, Value, Bits, ColumnCount };

    explicit ChipRegistersModel(MemoryState& state, QObject* parent)
        : QAbstractTableModel(parent), state_(state) {}

    std::uint16_t addressOf(int row) const {
        return static_cast<std::uint16_t>(state_.registerBase + row);
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kRegisterBlockSize;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : ColumnCount;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        const std::uint16_t address = addressOf(index.row());
        const std::uint8_t value = state_.now[address];
        if (role == Qt::DisplayRole || (role == Qt::EditRole && index.column() == Value)) {
            switch (index.column()) {
            case Address:
                return qs(hex::word(address));
            case Name:
                return state_.registerLabel(address);
            case Value:
                if (state_.unread(address))
                    return QString::fromUtf8(texts::kByteNotRead);
                return qs(hex::byte(value));
            case Bits: {
                if (state_.unread(address))
                    return QString();
                QString bits = QString::number(value, 2).rightJustified(8, u'0');
                return bits.insert(4, u' ');
            }
            default:
                return {};
            }
        }
        if (role == Qt::ForegroundRole && state_.changed(address) && index.column() >= Value)
            return kChangedColour;
        if (role == Qt::FontRole && index.column() != Name) {
            QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            font.setBold(state_.changed(address) && index.column() >= Value);
            return font;
        }
        if (role == Qt::ToolTipRole)
            return state_.describe(address);
        if (role == Qt::BackgroundRole && state_.watched(address))
            return kWatchedColour;
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        static const char* const names[] = {texts::kAddressColumn, texts::kNameColumn,
                                            texts::kValueColumn, texts::kBitsColumn};
        return QString::fromUtf8(names[section]);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags flags = QAbstractTableModel::flags(index);
        if (state_.stopped && index.column() == Value)
            flags |= Qt::ItemIsEditable;
        return flags;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || role != Qt::EditRole || index.column() != Value)
            return false;
        if (!state_.apply(addressOf(index.row()), parseByte(value.toString().toStdString())))
            return false;
        emit dataChanged(this->index(index.row(), Value), this->index(index.row(), Bits));
        return true;
    }

    void refresh() {
        emit dataChanged(index(0, 0), index(kRegisterBlockSize - 1, ColumnCount - 1));
    }

private:
    MemoryState& state_;
};

namespace {

QTableView* makeView(QAbstractItemModel* model, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    view->setSelectionMode(QAbstractItemView::ContiguousSelection);
    view->setWordWrap(false);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    // Fixed sizes: measuring 4096 rows to fit them would cost more than
    // drawing the screen.
    const QFontMetrics metrics(view->font());
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    return view;
}

} // namespace

MemoryPane::MemoryPane(DebugModel& debug, QWidget* parent)
    : QWidget(parent), debug_(debug), state_(std::make_unique<MemoryState>()),
      memory_(new MemoryModel(*state_, this)), registers_(new ChipRegistersModel(*state_, this)),
      tabs_(new QTabWidget), memoryView_(makeView(memory_, this)),
      registersView_(makeView(registers_, this)), goTo_(new QLineEdit), status_(new QLabel) {
    setObjectName(QStringLiteral("MemoryPane"));
    memoryView_->setObjectName(QStringLiteral("MemoryView"));
    registersView_->setObjectName(QStringLiteral("ChipRegistersView"));
    goTo_->setObjectName(QStringLiteral("GoTo"));
    status_->setObjectName(QStringLiteral("MemoryStatus"));
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);

    const QFontMetrics metrics(memoryView_->font());
    const int hexWidth = metrics.horizontalAdvance(QStringLiteral("00")) + 10;
    const int charWidth = metrics.horizontalAdvance(QStringLiteral("W")) + 6;
    for (int column = 0; column < 2 * kBytesPerRow; ++column)
        memoryView_->setColumnWidth(column, column < kBytesPerRow ? hexWidth : charWidth);
    registersView_->setColumnWidth(ChipRegistersModel::Address,
                                   metrics.horizontalAdvance(QStringLiteral("$FFFF")) + 16);
    registersView_->setColumnWidth(
        ChipRegistersModel::Name,
        metrics.horizontalAdvance(QStringLiteral("TI4O5 (poids faible)")) + 16);
    registersView_->horizontalHeader()->setStretchLastSection(true);
    registersView_->verticalHeader()->hide();

    state_->debug = &debug_;
    connect(&debug_, &DebugModel::watchpointsChanged, this, [this] {
        refreshViews();
        describeCurrent();
    });
    state_->edit = [this](std::uint16_t address, std::uint8_t value) {
        // Both views show that byte.
        refreshViews();
        emit byteEdited(address, value);
    };

    auto* goToLabel = new QLabel(QString::fromUtf8(texts::kGoToLabel));
    goToLabel->setBuddy(goTo_);
    goTo_->setPlaceholderText(QString::fromUtf8(texts::kGoToPlaceholder));
    auto* goButton = new QPushButton(QString::fromUtf8(texts::kGoTo));
    goButton->setObjectName(QStringLiteral("GoToButton"));

    auto* watch = new QToolButton;
    watch->setObjectName(QStringLiteral("Watch"));
    watch->setText(QString::fromUtf8(texts::kWatchMenu));
    watch->setPopupMode(QToolButton::InstantPopup);
    auto* watchMenu = new QMenu(watch);
    watchMenu
        ->addAction(QString::fromUtf8(texts::kWatchWrite), this,
                    [this] { debug_.watch(currentAddress(), sim11::Access::Write); })
        ->setObjectName(QStringLiteral("WatchWrite"));
    watchMenu
        ->addAction(QString::fromUtf8(texts::kWatchRead), this,
                    [this] { debug_.watch(currentAddress(), sim11::Access::Read); })
        ->setObjectName(QStringLiteral("WatchRead"));
    watchMenu->addSeparator();
    watchMenu
        ->addAction(QString::fromUtf8(texts::kUnwatch), this,
                    [this] { debug_.unwatch(currentAddress()); })
        ->setObjectName(QStringLiteral("Unwatch"));
    watchMenu
        ->addAction(QString::fromUtf8(texts::kUnwatchAll), this, [this] { debug_.unwatchAll(); })
        ->setObjectName(QStringLiteral("UnwatchAll"));
    watch->setMenu(watchMenu);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(goToLabel);
    bar->addWidget(goTo_, 1);
    bar->addWidget(goButton);
    bar->addWidget(watch);

    tabs_->addTab(memoryView_, QString::fromUtf8(texts::kMemoryTab));
    tabs_->addTab(registersView_, QString::fromUtf8(texts::kChipRegistersTab));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(bar);
    layout->addWidget(tabs_, 1);
    layout->addWidget(status_);

    connect(goTo_, &QLineEdit::returnPressed, this, [this] { goTo(goTo_->text()); });
    connect(goButton, &QPushButton::clicked, this, [this] { goTo(goTo_->text()); });
    connect(memoryView_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MemoryPane::describeCurrent);
    connect(registersView_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MemoryPane::describeCurrent);
    connect(tabs_, &QTabWidget::currentChanged, this, &MemoryPane::describeCurrent);
    for (QTableView* view : {memoryView_, registersView_}) {
        connect(view, &QTableView::customContextMenuRequested, this, &MemoryPane::showContextMenu);
        connect(view, &QTableView::doubleClicked, this, [this] {
            if (!state_->stopped)
                status_->setText(QString::fromUtf8(texts::kEditWhileRunning));
        });
    }
    setSymbols({});
}

MemoryPane::~MemoryPane() = default;

void MemoryPane::showSnapshot(const Snapshot& now, bool stopped) {
    MemoryState& s = *state_;
    s.now = now.memory;
    s.unreadNow = now.unread;
    const bool otherChip = s.chip != now.chip;
    s.chip = now.chip;
    s.registerBase = now.registerBase;
    s.stopped = stopped;
    if (s.haveStop) {
        s.reference = s.lastStop;
        s.unreadReference = s.unreadLastStop;
        s.haveReference = true;
    }
    if (stopped) {
        s.lastStop = now.memory;
        s.unreadLastStop = now.unread;
        s.haveStop = true;
    }
    refreshViews();
    describeCurrent();
    if (otherChip) // the A parts lack a few of the E parts' registers
        setSymbols(symbols_);
}

void MemoryPane::setSymbols(const QMap<QString, quint16>& symbols) {
    symbols_ = symbols;
    QStringList names = symbols.keys();
    for (int offset = 0; offset < kRegisterBlockSize; ++offset) {
        const RegisterName reg = registerName(state_->chip, offset);
        if (reg.name && !reg.lowByte && !names.contains(QLatin1String(reg.name)))
            names << QString::fromLatin1(reg.name);
    }
    auto* completer = new QCompleter(names, goTo_);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    delete goTo_->completer();
    goTo_->setCompleter(completer);
}

bool MemoryPane::goTo(const QString& text) {
    const SymbolLookup lookup = [this](std::string_view name) -> std::optional<std::uint16_t> {
        const QString key = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        if (const auto found = symbols_.constFind(key); found != symbols_.constEnd())
            return *found;
        // A name typed in another case, when only one symbol matches.
        std::optional<std::uint16_t> match;
        for (auto it = symbols_.constBegin(); it != symbols_.constEnd(); ++it) {
            if (it.key().compare(key, Qt::CaseInsensitive) == 0) {
                if (match)
                    return std::nullopt;
                match = it.value();
            }
        }
        return match;
    };
    const auto address =
        parseAddress(text.toStdString(), lookup, state_->chip, state_->registerBase);
    if (!address) {
        status_->setText(QString::fromUtf8(texts::kUnknownAddress).arg(text.trimmed()));
        return false;
    }
    goToAddress(*address);
    return true;
}

void MemoryPane::goToAddress(quint16 address) {
    tabs_->setCurrentWidget(memoryView_);
    const QModelIndex index =
        memory_->index(address / kBytesPerRow, MemoryModel::hexColumn(address));
    memoryView_->setCurrentIndex(index);
    memoryView_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    memoryView_->setFocus();
    describeCurrent();
}

void MemoryPane::refreshViews() {
    memory_->refresh();
    registers_->refresh();
}

quint16 MemoryPane::currentAddress() const {
    if (tabs_->currentWidget() == registersView_) {
        const QModelIndex index = registersView_->currentIndex();
        return registers_->addressOf(index.isValid() ? index.row() : 0);
    }
    const QModelIndex index = memoryView_->currentIndex();
    return index.isValid() ? MemoryModel::addressOf(index) : 0;
}

void MemoryPane::tellRefused(quint16 address) {
    status_->setText(QString::fromUtf8(texts::kEditRefused).arg(qs(hex::word(address))));
}

void MemoryPane::tellRefused(quint16, const QString& why) {
    status_->setText(why);
}

QString MemoryPane::statusText() const {
    return status_->text();
}

void MemoryPane::describeCurrent() {
    const QTableView* view =
        tabs_->currentWidget() == registersView_ ? registersView_ : memoryView_;
    if (view->currentIndex().isValid())
        status_->setText(state_->describe(currentAddress()));
}

void MemoryPane::showContextMenu(const QPoint& at) {
    auto* view = qobject_cast<QTableView*>(sender());
    if (!view)
        return;
    const QModelIndex index = view->indexAt(at);
    if (index.isValid() && !view->selectionModel()->isSelected(index))
        view->setCurrentIndex(index);
    const quint16 address = currentAddress();
    QMenu menu(this);
    menu.addAction(QString::fromUtf8(texts::kWatchWrite), this,
                   [this, address] { debug_.watch(address, sim11::Access::Write); });
    menu.addAction(QString::fromUtf8(texts::kWatchRead), this,
                   [this, address] { debug_.watch(address, sim11::Access::Read); });
    menu.addAction(QString::fromUtf8(texts::kUnwatch), this,
                   [this, address] { debug_.unwatch(address); });
    menu.addAction(QString::fromUtf8(texts::kUnwatchAll), this, [this] { debug_.unwatchAll(); });
    if (view == memoryView_) {
        menu.addSeparator();
        menu.addAction(QString::fromUtf8(texts::kCopyRows), this, &MemoryPane::copyRows);
    }
    menu.exec(view->viewport()->mapToGlobal(at));
}

void MemoryPane::copyRows() {
    std::set<int> rows;
    for (const QModelIndex& index : memoryView_->selectionModel()->selectedIndexes())
        rows.insert(index.row());
    if (rows.empty() && memoryView_->currentIndex().isValid())
        rows.insert(memoryView_->currentIndex().row());
    QStringList lines;
    for (int row : rows)
        lines << qs(hexRow(state_->now.data(), static_cast<std::uint16_t>(row * kBytesPerRow)));
    QApplication::clipboard()->setText(lines.join(u'\n'));
}

} // namespace kavrel::simulation
