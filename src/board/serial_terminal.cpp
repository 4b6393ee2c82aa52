#include "board/serial_terminal.h"

#include "board/board_texts.h"
#include "board/bootstrap.h"
#include "board/fill_text.h"
#include "board/port_choice.h"
#include "terminal/flow_layout.h"
#include "terminal/terminal_widget.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace kavrel::board {

namespace {

// How long an opening waits for a line of this window that is still closing.
constexpr auto kStillClosingWait = std::chrono::milliseconds(200);

constexpr const char* kSpeeds[] = {"1200", "2400", "4800", "7812", "9600", "19200", "38400"};

QString q(const char* text) {
    return QString::fromUtf8(text);
}

QString filled(const char* format, std::initializer_list<std::string_view> values) {
    return QString::fromStdString(fillText(format, values));
}

// `label` and the fields it names, in that order, as one group.
QWidget* labelled(const char* label, std::initializer_list<QWidget*> fields) {
    auto* group = new QWidget;
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(0, 0, 0, 0);
    auto* text = new QLabel(q(label));
    text->setBuddy(*fields.begin());
    row->addWidget(text);
    for (QWidget* field : fields)
        row->addWidget(field);
    return group;
}

} // namespace

SerialTerminalWindow::SerialTerminalWindow(QWidget* parent)
    : QMdiSubWindow(parent), lister_(systemPorts), factory_(systemTransport) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("SerialTerminal"));

    terminal_ = new terminal::TerminalWidget;
    terminal_->setInputEnabled(false);

    portField_ = new QComboBox;
    portField_->setObjectName(QStringLiteral("port"));
    portField_->setEditable(true);
    portField_->setInsertPolicy(QComboBox::NoInsert);
    portField_->lineEdit()->setPlaceholderText(q(kTerminalPortPlaceholder));
    portField_->setToolTip(q(kPortPlaceholder));
    portField_->setMinimumContentsLength(16);
    portField_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    {
        // Wide enough for its hint, which says what it takes: measured in
        // its own font (the contents length counts wide letters).
        QStyleOptionComboBox option;
        option.initFrom(portField_);
        option.editable = true;
        const QFontMetrics metrics = portField_->fontMetrics();
        const QSize text(metrics.horizontalAdvance(q(kTerminalPortPlaceholder)) +
                             2 * metrics.horizontalAdvance(QLatin1Char(' ')),
                         metrics.height());
        portField_->setMinimumWidth(
            portField_->style()
                ->sizeFromContents(QStyle::CT_ComboBox, &option, text, portField_)
                .width());
    }

    speed_ = new QComboBox;
    speed_->setObjectName(QStringLiteral("speed"));
    speed_->setEditable(true);
    speed_->setInsertPolicy(QComboBox::NoInsert);
    for (const char* speed : kSpeeds)
        speed_->addItem(q(speed));
    speed_->setCurrentText(QString::number(kDefaultBaud));
    // A program that changes its speed is followed without closing the port.
    connect(speed_, &QComboBox::activated, this, &SerialTerminalWindow::applySpeed);
    connect(speed_->lineEdit(), &QLineEdit::editingFinished, this,
            &SerialTerminalWindow::applySpeed);

    auto* frame = new QLabel(q(kTerminalFrame));
    frame->setToolTip(q(kTerminalFrameTip));

    openClose_ = new QPushButton(q(kTerminalOpen));
    openClose_->setObjectName(QStringLiteral("openClose"));
    connect(openClose_, &QPushButton::clicked, this, &SerialTerminalWindow::toggle);

    // Over the terminal, whole whatever its length: a port's path can be long.
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("serialStatus"));
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->hide();

    // Each label before its field, the pair kept together when a narrow
    // window puts the controls on two rows.
    auto* controls = new terminal::FlowLayout;
    controls->setContentsMargins(0, 0, 0, 0);
    controls->addWidget(labelled(kTerminalPortLabel, {portField_}));
    controls->addWidget(labelled(kTerminalSpeedLabel, {speed_, frame}));
    controls->addWidget(openClose_);

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(controls);
    layout->addWidget(status_);
    layout->addWidget(terminal_, 1);
    body->setFocusProxy(terminal_);
    setWidget(body);

    connect(terminal_, &terminal::TerminalWidget::bytesTyped, this,
            [this](const QByteArray& bytes) {
                if (link_)
                    link_->write(bytes);
            });

    // Adapters come and go: the list is looked at again while no port is open.
    auto* poll = new QTimer(this);
    poll->setInterval(DownloadDialog::kPortPollMs);
    connect(poll, &QTimer::timeout, this, [this] {
        if (!link_)
            refreshPorts();
    });
    poll->start();
    refreshPorts();
    showState();
}

SerialTerminalWindow::~SerialTerminalWindow() {
    // Deleted with the window, as its child; the signals go first.
    if (link_)
        link_->disconnect(this);
}

void SerialTerminalWindow::showEvent(QShowEvent* event) {
    QMdiSubWindow::showEvent(event);
    if (fitted_)
        return;
    fitted_ = true;
    // Opened within the workspace, however small the main window: the
    // controls go on to a second row rather than out of sight.
    if (QMdiArea* area = mdiArea()) {
        const QSize room = area->viewport()->size();
        const QSize wanted = sizeHint().expandedTo(minimumSizeHint());
        resize(std::max(std::min(wanted.width(), room.width()), minimumSizeHint().width()),
               std::max(std::min(wanted.height(), room.height()), minimumSizeHint().height()));
        if (!area->viewport()->rect().contains(geometry()))
            move(0, 0);
    }
}

void SerialTerminalWindow::setPortLister(std::function<QList<PortEntry>()> lister) {
    lister_ = std::move(lister);
    refreshPorts();
}

void SerialTerminalWindow::setTransportFactory(DownloadJob::TransportFactory factory) {
    factory_ = std::move(factory);
}

void SerialTerminalWindow::refreshPorts() {
    const QList<PortEntry> ports = lister_ ? lister_() : QList<PortEntry>{};
    const QString typed = portField_->currentText();
    QStringList now;
    for (const PortEntry& entry : ports)
        now << entry.location;
    QStringList shown;
    for (int i = 0; i < portField_->count(); ++i)
        shown << portField_->itemText(i);
    if (now == shown)
        return;
    const QSignalBlocker blocker(portField_);
    portField_->clear();
    portField_->addItems(now);
    // What the user typed or chose stays.
    portField_->setCurrentText(typed.isEmpty() && !now.isEmpty() ? now.first() : typed);
}

QString SerialTerminalWindow::portName() const {
    return link_ ? portName_ : portField_->currentText().trimmed();
}

unsigned SerialTerminalWindow::baud() const {
    return baudOf(speed_->currentText());
}

QString SerialTerminalWindow::statusText() const {
    return status_->text();
}

void SerialTerminalWindow::say(const QString& text) {
    status_->setText(text);
    // No message, no empty row over the terminal.
    status_->setVisible(!text.isEmpty());
}

bool SerialTerminalWindow::openPort(const QString& name, unsigned baud) {
    closePort(QString());
    portField_->setCurrentText(name);
    speed_->setCurrentText(QString::number(baud));
    if (name.trimmed().isEmpty()) {
        say(q(kChoosePort));
        return false;
    }
    if (baud == 0) {
        say(q(kBadSpeed));
        return false;
    }
    const QString port = name.trimmed();
    // A line let go of a moment ago closes its port on its own thread: a
    // poll of the line at most, unless the adapter is stuck in a write,
    // which the window does not wait for.
    if (!awaitPortClosed(port.toStdString(), kStillClosingWait)) {
        say(filled(kTerminalStillClosing, {port.toStdString()}));
        return false;
    }
    // The download's opening, so a port is refused here in the same words.
    std::unique_ptr<Transport> transport = factory_();
    try {
        transport->open(port.toStdString(), baud);
    } catch (const PortError& error) {
        say(QString::fromStdString(portFaultMessage(error, port.toStdString(), baud)));
        return false;
    }
    attach(new SerialLink(std::move(transport), port, baud));
    say(filled(kTerminalOpened, {portName_.toStdString(), std::to_string(baud)}));
    return true;
}

void SerialTerminalWindow::adopt(SerialLink* link, const QString& name, unsigned baud,
                                 const QByteArray& firstWords) {
    closePort(QString());
    portField_->setCurrentText(name);
    speed_->setCurrentText(QString::number(baud));
    terminal_->appendReceived(firstWords);
    if (!link) {
        openPort(name, baud);
        return;
    }
    attach(link);
    if (link->baud() != baud)
        link->setBaud(baud);
    say(filled(kTerminalLoaded, {name.toStdString(), std::to_string(baud)}));
}

void SerialTerminalWindow::attach(SerialLink* link) {
    link_ = link;
    link_->setParent(this);
    portName_ = link->name();
    connect(link_, &SerialLink::received, terminal_, &terminal::TerminalWidget::appendReceived);
    connect(link_, &SerialLink::failed, this, &SerialTerminalWindow::failed);
    connect(link_, &SerialLink::baudChanged, this, [this](unsigned rate) {
        // A change the user asked for is confirmed; the program's speed
        // after a load keeps the load's message.
        if (!speedAsked_)
            return;
        speedAsked_ = false;
        say(filled(kTerminalOpened, {portName_.toStdString(), std::to_string(rate)}));
    });
    connect(link_, &SerialLink::baudRefused, this, [this](unsigned rate) {
        say(filled(kPortSpeedRefused, {portName_.toStdString(), std::to_string(rate)}));
    });
    link_->start();
    showState();
}

void SerialTerminalWindow::closePort(const QString& why) {
    if (link_) {
        link_->disconnect(this);
        // Its thread ends within a poll of the line, and closes the port.
        delete link_;
        link_ = nullptr;
    }
    if (!why.isEmpty())
        say(why);
    showState();
}

void SerialTerminalWindow::toggle() {
    if (link_)
        closePort(q(kTerminalClosed));
    else
        openPort(portField_->currentText(), baud());
}

void SerialTerminalWindow::failed(PortFault fault, const QString& detail) {
    // The device went away (an adapter unplugged, the far end of a
    // pseudo-terminal closed), or stopped working: the line is of no more use.
    if (fault == PortFault::Vanished)
        closePort(filled(kTerminalVanished, {portName_.toStdString()}));
    else
        closePort(filled(kPortFailed, {portName_.toStdString(), detail.toStdString()}));
}

void SerialTerminalWindow::applySpeed() {
    const unsigned rate = baud();
    if (rate == 0) {
        say(q(kBadSpeed));
        return;
    }
    if (link_ && link_->baud() != rate) {
        speedAsked_ = true;
        link_->setBaud(rate);
    }
}

void SerialTerminalWindow::showState() {
    const bool open = link_ != nullptr;
    terminal_->setInputEnabled(open);
    portField_->setEnabled(!open);
    openClose_->setText(q(open ? kTerminalClose : kTerminalOpen));
    setWindowTitle(open ? filled(kTerminalTitleOn, {portName_.toStdString()}) : q(kTerminalTitle));
}

} // namespace kavrel::board
