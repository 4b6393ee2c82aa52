#include "terminal/terminal_widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include "terminal/flow_layout.h"
#include "terminal/terminal_texts.h"

namespace kavrel::terminal {

namespace {

// A message under the bar; none takes no room.
void showStatus(QLabel* label, const QString& text) {
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

} // namespace

// The screen: read-only for the text, but every key the user types goes to
// the other end rather than into the text.
class TerminalView : public QPlainTextEdit {
public:
    explicit TerminalView(TerminalWidget* owner) : QPlainTextEdit(owner), owner_(owner) {
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setUndoRedoEnabled(false);
        setMaximumBlockCount(TerminalWidget::kMaxLines);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        setFocusPolicy(Qt::StrongFocus);
        setTabChangesFocus(false);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QByteArray bytes = bytesFor(event);
        if (bytes.isNull()) {
            QPlainTextEdit::keyPressEvent(event); // scrolling, selecting, copying
            return;
        }
        event->accept();
        owner_->send(bytes);
    }
    bool focusNextPrevChild(bool) override { return false; } // Tab is a character here

private:
    // The bytes a key sends; null for the keys the screen keeps for itself.
    QByteArray bytesFor(QKeyEvent* event) const {
        const auto mods = event->modifiers() & ~Qt::KeypadModifier;
        const int key = event->key();
        const bool control = mods.testFlag(Qt::ControlModifier) && !mods.testFlag(Qt::AltModifier);
        const bool shift = mods.testFlag(Qt::ShiftModifier);
        // Copy needs a selection or Shift; Ctrl+C alone is the program's break.
        if (control && key == Qt::Key_C && (shift || textCursor().hasSelection()))
            return {};
        if ((control && key == Qt::Key_V) || (shift && key == Qt::Key_Insert)) {
            const std::string text =
                typedBytes(QApplication::clipboard()->text().toStdString(), owner_->lineEnd());
            return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
        }
        if (control && key >= Qt::Key_At && key <= Qt::Key_Underscore) {
            if (const auto code = controlCode(static_cast<char>(key)))
                return QByteArray(1, static_cast<char>(*code));
        }
        switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            const std::string_view end = lineEndBytes(owner_->lineEnd());
            return QByteArray(end.data(), static_cast<qsizetype>(end.size()));
        }
        case Qt::Key_Backspace:
            return QByteArray(1, '\x08');
        case Qt::Key_Tab:
            return QByteArray(1, '\t');
        case Qt::Key_Escape:
            return QByteArray(1, '\x1B');
        case Qt::Key_Delete:
            return QByteArray(1, '\x7F');
        default:
            break;
        }
        if (control || event->text().isEmpty())
            return {};
        const std::string bytes = typedBytes(event->text().toStdString(), owner_->lineEnd());
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }

    TerminalWidget* owner_;
};

TerminalWidget::TerminalWidget(QWidget* parent)
    : QWidget(parent), view_(new TerminalView(this)), echo_(new QCheckBox(texts::kLocalEcho)),
      enter_(new QComboBox), sendFile_(new QPushButton(texts::kSendFile)),
      clear_(new QPushButton(texts::kClear)), status_(new QLabel), bar_(new FlowLayout),
      timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("Terminal"));
    view_->setObjectName(QStringLiteral("TerminalScreen"));
    echo_->setObjectName(QStringLiteral("LocalEcho"));
    echo_->setToolTip(texts::kLocalEchoTip);
    enter_->setObjectName(QStringLiteral("EnterSends"));
    enter_->addItem(texts::kEnterCr);
    enter_->addItem(texts::kEnterCrLf);
    sendFile_->setObjectName(QStringLiteral("SendFile"));
    clear_->setObjectName(QStringLiteral("Clear"));
    status_->setObjectName(QStringLiteral("TerminalStatus"));
    status_->setTextFormat(Qt::PlainText);
    // Under the bar, whole whatever its length.
    status_->setWordWrap(true);
    status_->hide();

    // The label stays with its field when the bar goes on to a new row.
    auto* enterGroup = new QWidget;
    auto* enterRow = new QHBoxLayout(enterGroup);
    enterRow->setContentsMargins(0, 0, 0, 0);
    auto* enterLabel = new QLabel(texts::kEnterLabel);
    enterLabel->setBuddy(enter_);
    enterRow->addWidget(enterLabel);
    enterRow->addWidget(enter_);
    bar_->setContentsMargins(0, 0, 0, 0);
    bar_->addWidget(echo_);
    bar_->addWidget(enterGroup);
    bar_->addWidget(sendFile_);
    bar_->addWidget(clear_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(bar_);
    layout->addWidget(status_);
    layout->addWidget(view_, 1);
    setFocusProxy(view_);

    timer_->setSingleShot(true);
    timer_->setInterval(kDisplayIntervalMs);
    connect(timer_, &QTimer::timeout, this, &TerminalWidget::showPending);
    connect(sendFile_, &QPushButton::clicked, this, &TerminalWidget::chooseAndSendFile);
    connect(clear_, &QPushButton::clicked, this, &TerminalWidget::clear);

    chooser_ = [this] {
        return QFileDialog::getOpenFileName(this, texts::kChooseFileTitle, QString(),
                                            texts::kFileFilter);
    };
}

bool TerminalWidget::localEcho() const {
    return echo_->isChecked();
}

void TerminalWidget::setLocalEcho(bool on) {
    echo_->setChecked(on);
}

LineEnd TerminalWidget::lineEnd() const {
    return enter_->currentIndex() == 1 ? LineEnd::CrLf : LineEnd::Cr;
}

void TerminalWidget::setLineEnd(LineEnd end) {
    enter_->setCurrentIndex(end == LineEnd::CrLf ? 1 : 0);
}

void TerminalWidget::setInputEnabled(bool on, const QString& why) {
    inputEnabled_ = on;
    inputOffWhy_ = why;
    sendFile_->setEnabled(on);
}

void TerminalWidget::setFileChooser(std::function<QString()> chooser) {
    chooser_ = std::move(chooser);
}

void TerminalWidget::addToolWidget(QWidget* widget) {
    // Before the terminal's own controls, in the order they are added.
    bar_->insertWidget(bar_->indexOf(echo_), widget);
}

QString TerminalWidget::text() const {
    return view_->toPlainText();
}

QPlainTextEdit* TerminalWidget::display() const {
    return view_;
}

QString TerminalWidget::statusText() const {
    return status_->text();
}

void TerminalWidget::appendReceived(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    pending_ += QString::fromStdString(received_.feed(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
    if (pending_.size() > kMaxPending) {
        // Only the tail could stay on screen; cut at a line end so that the
        // first line kept is whole.
        qsizetype cut = pending_.indexOf(QLatin1Char('\n'), pending_.size() - kMaxPending);
        if (cut < 0)
            cut = pending_.size() - kMaxPending;
        pending_.remove(0, cut);
    }
    if (!timer_->isActive())
        timer_->start();
}

void TerminalWidget::flush() {
    timer_->stop();
    showPending();
}

void TerminalWidget::showPending() {
    if (pending_.isEmpty())
        return;
    QScrollBar* bar = view_->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    QTextCursor end(view_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(pending_);
    pending_.clear();
    if (following)
        bar->setValue(bar->maximum());
}

void TerminalWidget::clear() {
    timer_->stop();
    pending_.clear();
    received_.reset();
    view_->clear();
    showStatus(status_, QString());
}

void TerminalWidget::send(const QByteArray& bytes) {
    if (!inputEnabled_) {
        showStatus(status_, inputOffWhy_.isEmpty() ? QString::fromUtf8(texts::kInputOff)
                                                   : inputOffWhy_);
        return;
    }
    if (bytes.isEmpty())
        return;
    if (localEcho())
        appendReceived(bytes);
    emit bytesTyped(bytes);
}

void TerminalWidget::sendText(const QString& text) {
    const std::string bytes = typedBytes(text.toStdString(), lineEnd());
    send(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool TerminalWidget::sendFile(const QString& path) {
    QFile file(path);
    const QString name = QFileInfo(path).fileName();
    if (!file.open(QIODevice::ReadOnly)) {
        showStatus(status_, QString::fromUtf8(texts::kCannotRead).arg(name, file.errorString()));
        return false;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        showStatus(status_, QString::fromUtf8(texts::kCannotRead).arg(name, file.errorString()));
        return false;
    }
    const std::string bytes = fileBytesToSend(
        std::string_view(content.constData(), static_cast<std::size_t>(content.size())), lineEnd());
    send(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (inputEnabled_)
        showStatus(status_, QString::fromUtf8(texts::kFileSent)
                                .arg(name)
                                .arg(static_cast<qulonglong>(bytes.size())));
    return inputEnabled_;
}

void TerminalWidget::chooseAndSendFile() {
    const QString path = chooser_ ? chooser_() : QString();
    if (!path.isEmpty())
        sendFile(path);
    view_->setFocus();
}

} // namespace kavrel::terminal
