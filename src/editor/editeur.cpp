#include "editor/editeur.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>

#include "app/principal.h"
#include "editor/caret_position.h"
#include "editor/documents.h"

namespace kavrel {

namespace {
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
    for (int key : {SCK_UP, SCK_DOWN, SCK_LEFT, SCK_RIGHT, SCK_HOME, SCK_END, SCK_PRIOR, SCK_NEXT})
        SendScintilla(SCI_CLEARCMDKEY, key + ((SCMOD_SHIFT | SCMOD_ALT) << 16));
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
        SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(start), static_cast<long>(end));
        // The text box refuses a null pointer, even for no text at all.
        SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(utf8.size()),
                      utf8.empty() ? "" : utf8.data());
    }
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(after));
}

Editeur::Editeur(Principal& principal, const QString& caption)
    : principal_(principal), texte_(new Texte(this)) {
    setObjectName(QStringLiteral("Editeur"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(texte_);
    setCaption(caption);
    Text_Changed = false;

    connect(texte_, &QsciScintilla::textChanged, this, [this] { Text_Changed = true; });
    texte_->installEventFilter(this);
    texte_->viewport()->installEventFilter(this);
}

void Editeur::placeAsDefined() {
    move(kEditorPos);
    resize(kEditorClient + (size() - texte_->size()));
}

void Editeur::resizeEvent(QResizeEvent* event) {
    // The base class lays the text box over the whole client area, minimised
    // included; the position indicator follows.
    QMdiSubWindow::resizeEvent(event);
    ShowCursorPos(principal_);
}

void Editeur::closeEvent(QCloseEvent* event) {
    if (!editor::Form_QueryUnload(principal_, *this)) {
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
        ShowCursorPos(principal_);
    return QMdiSubWindow::eventFilter(watched, event);
}

void ShowCursorPos(Principal& principal) {
    Editeur* active = principal.activeEditor();
    if (!active)
        return;
    const Texte* texte = active->texte();
    const auto position = editor::caretPosition(texte->buffer(), texte->selectionStart());
    principal.setPosXY(QString::fromStdString(editor::caretPanelText(position)));
}

} // namespace kavrel
