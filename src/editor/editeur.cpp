#include "editor/editeur.h"

#include <QClipboard>
#include <QColor>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMimeData>
#include <QMouseEvent>
#include <QWheelEvent>

#include "workspace/workspace.h"
#include "editor/caret_position.h"
#include "editor/documents.h"
#include "editor/source_colours.h"

namespace kavrel {

namespace {
// The indicator that underlines lines in error (those below 8 belong to the
// text box's own styles).
constexpr int kErrorIndicator = 9;

// Position of the window's definition inside the workspace, and the size of
// its client area: 600 x 930 and 6645 x 4050 twips.
constexpr QPoint kEditorPos(40, 62);
constexpr QSize kEditorClient(443, 270);
} // namespace

Texte::Texte(QWidget* parent) : QsciScintilla(parent) {
    setObjectName(QStringLiteral("Texte"));
    setUtf8(true);

    QFont font(QStringLiteral("Courier"));
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    setFont(font);

    // A plain text box: no margins, folding, indentation help or brace marks.
    for (int margin = 0; margin < 5; ++margin)
        setMarginWidth(margin, 0);
    setMargins(0);
    setFolding(NoFoldStyle);
    setAutoIndent(false);
    setBraceMatching(NoBraceMatch);
    setWrapMode(WrapNone);
    setEolMode(EolWindows);
    setEolVisibility(false);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // Pasted text keeps its own line ends; one caret and straight selections only.
    SendScintilla(SCI_SETPASTECONVERTENDINGS, 0);
    SendScintilla(SCI_SETMULTIPLESELECTION, 0);
    SendScintilla(SCI_SETADDITIONALSELECTIONTYPING, 0);
    SendScintilla(SCI_SETMOUSESELECTIONRECTANGULARSWITCH, 0);
    SendScintilla(SCI_SETRECTANGULARSELECTIONMODIFIER, SCMOD_SUPER);
    keepOnlyPlainKeys();

    // The font keeps its size: whatever asks for a zoom, it goes back to none.
    connect(this, &QsciScintillaBase::SCN_ZOOM, this, [this] {
        if (SendScintilla(SCI_GETZOOM) != 0)
            SendScintilla(SCI_SETZOOM, 0);
    });
    viewport()->setAcceptDrops(false);

    SendScintilla(SCI_INDICSETSTYLE, kErrorIndicator, INDIC_SQUIGGLE);
    SendScintilla(SCI_INDICSETFORE, kErrorIndicator, QColor(0xB0, 0x30, 0x00));
    // An edited line is no longer the line the assembler saw.
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int type, const char*, int length, int, int, int, int, int, int) {
                if (!(type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT)))
                    return;
                const long first = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
                const long last = SendScintilla(
                    SCI_LINEFROMPOSITION,
                    static_cast<unsigned long>(position + ((type & SC_MOD_INSERTTEXT) ? length : 0)));
                const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
                const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(last));
                SendScintilla(SCI_SETINDICATORCURRENT, kErrorIndicator);
                SendScintilla(SCI_INDICATORCLEARRANGE, static_cast<unsigned long>(start),
                              static_cast<long>(end - start));
            });
}

void Texte::markErrorLine(int line) {
    if (line < 0 || line >= SendScintilla(SCI_GETLINECOUNT))
        return;
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    SendScintilla(SCI_SETINDICATORCURRENT, kErrorIndicator);
    // An empty line gets its end of line underlined, so that the mark shows.
    const long length = end > start ? end - start : SendScintilla(SCI_GETLENGTH) > start ? 1 : 0;
    SendScintilla(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(start), length);
}

void Texte::clearErrorMarks() {
    SendScintilla(SCI_SETINDICATORCURRENT, kErrorIndicator);
    SendScintilla(SCI_INDICATORCLEARRANGE, 0UL, SendScintilla(SCI_GETLENGTH));
}

bool Texte::hasErrorMark(int line) const {
    auto* self = const_cast<Texte*>(this);
    const long start = self->SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = self->SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    for (long at = start; at <= end; ++at)
        if (self->SendScintilla(SCI_INDICATORVALUEAT, kErrorIndicator, at) != 0)
            return true;
    return false;
}

void Texte::selectLine(int line) {
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    if (start < 0)
        return;
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(end), start);
    SendScintilla(SCI_SCROLLCARET);
    SendScintilla(SCI_CHOOSECARETX);
}

// The key map of an ordinary text box, built from nothing so that no other
// binding of the text box (line cut, swap, duplicate, case change, zoom,
// overtype...) can change the text behind the user's back.
void Texte::keepOnlyPlainKeys() {
    SendScintilla(SCI_CLEARALLCMDKEYS);
    constexpr int shift = SCMOD_SHIFT << 16;
    constexpr int ctrl = SCMOD_CTRL << 16;
    struct Binding {
        int key;
        int command;
    };
    static constexpr Binding bindings[] = {
        {SCK_LEFT, SCI_CHARLEFT},
        {SCK_LEFT + shift, SCI_CHARLEFTEXTEND},
        {SCK_LEFT + ctrl, SCI_WORDLEFT},
        {SCK_LEFT + ctrl + shift, SCI_WORDLEFTEXTEND},
        {SCK_RIGHT, SCI_CHARRIGHT},
        {SCK_RIGHT + shift, SCI_CHARRIGHTEXTEND},
        {SCK_RIGHT + ctrl, SCI_WORDRIGHT},
        {SCK_RIGHT + ctrl + shift, SCI_WORDRIGHTEXTEND},
        {SCK_UP, SCI_LINEUP},
        {SCK_UP + shift, SCI_LINEUPEXTEND},
        {SCK_DOWN, SCI_LINEDOWN},
        {SCK_DOWN + shift, SCI_LINEDOWNEXTEND},
        {SCK_HOME, SCI_HOME},
        {SCK_HOME + shift, SCI_HOMEEXTEND},
        {SCK_HOME + ctrl, SCI_DOCUMENTSTART},
        {SCK_HOME + ctrl + shift, SCI_DOCUMENTSTARTEXTEND},
        {SCK_END, SCI_LINEEND},
        {SCK_END + shift, SCI_LINEENDEXTEND},
        {SCK_END + ctrl, SCI_DOCUMENTEND},
        {SCK_END + ctrl + shift, SCI_DOCUMENTENDEXTEND},
        {SCK_PRIOR, SCI_PAGEUP},
        {SCK_PRIOR + shift, SCI_PAGEUPEXTEND},
        {SCK_NEXT, SCI_PAGEDOWN},
        {SCK_NEXT + shift, SCI_PAGEDOWNEXTEND},
        {SCK_BACK, SCI_DELETEBACK},
        // Shift is often still held after a capital letter.
        {SCK_BACK + shift, SCI_DELETEBACK},
        {SCK_DELETE, SCI_CLEAR},
        {SCK_RETURN, SCI_NEWLINE},
        {SCK_RETURN + shift, SCI_NEWLINE},
        {'A' + ctrl, SCI_SELECTALL},
        {'Z' + ctrl, SCI_UNDO},
        {'Y' + ctrl, SCI_REDO},
        {'C' + ctrl, SCI_COPY},
        {'X' + ctrl, SCI_CUT},
    };
    for (const Binding& binding : bindings)
        SendScintilla(SCI_ASSIGNCMDKEY, static_cast<unsigned long>(binding.key),
                      static_cast<long>(binding.command));
}

void Texte::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event->key() == Qt::Key_Tab && modifiers == Qt::NoModifier) {
        // One tab character in place of the selection, whatever its lines.
        replaceSelection("\t");
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_V && modifiers == Qt::ControlModifier) {
        paste();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Backtab || event->key() == Qt::Key_Tab) {
        event->accept(); // no un-indenting, no leaving the box
        return;
    }
    // With Ctrl or Alt alone held, a key is a command or nothing: the text
    // box would type the letter of a combination it has no command for.
    // Ctrl and Alt together are AltGr on Windows, which types characters.
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    if (ctrl != alt && !event->text().isEmpty()) {
        QKeyEvent command(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                          event->nativeVirtualKey(), event->nativeModifiers(), QString(),
                          event->isAutoRepeat(), static_cast<quint16>(event->count()));
        QsciScintilla::keyPressEvent(&command);
        event->setAccepted(command.isAccepted());
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

void Texte::paste() {
    // The clipboard holds no text (a picture only, say): nothing is pasted,
    // and the selection goes, as with an empty text. Reading leaves the
    // clipboard as it was.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const QByteArray text = data && data->hasText() ? data->text().toUtf8() : QByteArray();
    replaceSelection(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

bool Texte::focusNextPrevChild(bool) {
    // Tab belongs to the text box.
    return false;
}

void Texte::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QsciScintilla::wheelEvent(event);
        return;
    }
    // Ctrl with the wheel scrolls as the wheel alone does: no zoom.
    QWheelEvent plain(event->position(), event->globalPosition(), event->pixelDelta(),
                      event->angleDelta(), event->buttons(),
                      event->modifiers() & ~Qt::ControlModifier, event->phase(), event->inverted(),
                      event->source());
    QsciScintilla::wheelEvent(&plain);
    event->setAccepted(plain.isAccepted());
}

void Texte::mousePressEvent(QMouseEvent* event) {
    // A press inside the selection would start dragging the selected text
    // away: as in a plain text box, it starts a new selection there instead.
    if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ShiftModifier) &&
        selectionStart() != selectionEnd()) {
        const QPoint at = event->position().toPoint();
        const long position =
            SendScintilla(SCI_POSITIONFROMPOINTCLOSE, static_cast<unsigned long>(at.x()),
                          static_cast<long>(at.y()));
        if (position >= 0 && static_cast<std::size_t>(position) >= selectionStart() &&
            static_cast<std::size_t>(position) <= selectionEnd())
            SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(position));
    }
    QsciScintilla::mousePressEvent(event);
}

// Text is never dropped into the box, from another editor or elsewhere.
void Texte::dragEnterEvent(QDragEnterEvent* event) {
    event->ignore();
}
void Texte::dragMoveEvent(QDragMoveEvent* event) {
    event->ignore();
}
void Texte::dropEvent(QDropEvent* event) {
    event->ignore();
}

std::string_view Texte::buffer() const {
    auto* self = const_cast<Texte*>(this);
    const auto length = static_cast<std::size_t>(self->SendScintilla(SCI_GETLENGTH));
    if (length == 0)
        return {};
    const auto* data = reinterpret_cast<const char*>(self->SendScintilla(SCI_GETCHARACTERPOINTER));
    return {data, length};
}

void Texte::setWholeText(std::string_view utf8) {
    SendScintilla(SCI_SETUNDOCOLLECTION, 0);
    SendScintilla(SCI_CLEARALL);
    // uintptr_t picks the text overload; unsigned long, 32 bits on Windows,
    // would make it ambiguous with the colour one there.
    if (!utf8.empty())
        SendScintilla(SCI_ADDTEXT, static_cast<uintptr_t>(utf8.size()), utf8.data());
    SendScintilla(SCI_SETUNDOCOLLECTION, 1);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_GOTOPOS, 0);
}

std::size_t Texte::selectionStart() const {
    return static_cast<std::size_t>(const_cast<Texte*>(this)->SendScintilla(SCI_GETSELECTIONSTART));
}

std::size_t Texte::selectionEnd() const {
    return static_cast<std::size_t>(const_cast<Texte*>(this)->SendScintilla(SCI_GETSELECTIONEND));
}

std::string Texte::selectedBytes() const {
    const std::string_view all = buffer();
    const std::size_t start = std::min(selectionStart(), all.size());
    const std::size_t end = std::min(selectionEnd(), all.size());
    return std::string(all.substr(start, end - start));
}

void Texte::replaceSelection(std::string_view utf8) {
    const std::size_t start = selectionStart();
    const std::size_t end = selectionEnd();
    const std::size_t after = start + utf8.size();
    if (buffer().substr(start, end - start) != utf8) {
        SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(start),
                      static_cast<long>(end));
        // The text box refuses a null pointer, even for no text at all.
        SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(utf8.size()),
                      utf8.empty() ? "" : utf8.data());
    }
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(after));
}

Editeur::Editeur(Workspace& workspace, const QString& caption)
    : workspace_(workspace), texte_(new Texte(this)) {
    setObjectName(QStringLiteral("Editeur"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(texte_);
    setCaption(caption);
    setText_Changed(false);

    connect(texte_, &QsciScintilla::textChanged, this, [this] { setText_Changed(true); });
    texte_->installEventFilter(this);
    texte_->viewport()->installEventFilter(this);
}

void Editeur::setCaption(const QString& caption) {
    setWindowTitle(caption);
    editor::showSourceColours(*texte_, caption);
}

QPoint Editeur::cascadePlace(int step, int titleHeight) {
    return kEditorPos + QPoint(step * titleHeight, step * titleHeight);
}

void Editeur::placeAsDefined(int step) {
    resize(kEditorClient + (size() - texte_->size()));
    move(cascadePlace(step, size().height() - texte_->size().height()));
}

void Editeur::resizeEvent(QResizeEvent* event) {
    // The base class lays the text box over the whole client area, minimised
    // included; the position indicator follows.
    QMdiSubWindow::resizeEvent(event);
    emit caretShouldShow();
}

void Editeur::closeEvent(QCloseEvent* event) {
    if (!editor::Form_QueryUnload(workspace_, *this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

bool Editeur::eventFilter(QObject* watched, QEvent* event) {
    // Every key release reaching the text box and every click in it refresh
    // the indicator; the caret has moved by then (on the press).
    const bool key = watched == texte_ && event->type() == QEvent::KeyRelease;
    const bool click = watched == texte_->viewport() && event->type() == QEvent::MouseButtonRelease;
    if (key || click)
        emit caretShouldShow();
    return QMdiSubWindow::eventFilter(watched, event);
}

void ShowCursorPos(Workspace& workspace) {
    Editeur* active = workspace.activeEditor();
    if (!active)
        return;
    const Texte* texte = active->texte();
    const auto position = editor::caretPosition(texte->buffer(), texte->selectionStart());
    workspace.setPosXY(QString::fromStdString(editor::caretPanelText(position)));
}

} // namespace kavrel
