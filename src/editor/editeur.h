#pragma once

#include <QMdiSubWindow>
#include <Qsci/qsciscintilla.h>
#include <cstddef>
#include <string>
#include <string_view>

namespace kavrel {

class Workspace;

// The text box of an editor. Holds the document's whole text as UTF-8 and
// keeps every character as it was typed or loaded: CR, LF and CR LF stay
// distinct, NUL included.
class Texte : public QsciScintilla {
    Q_OBJECT
public:
    explicit Texte(QWidget* parent = nullptr);

    // The whole text, read in place (valid until the next change).
    std::string_view buffer() const;
    // Replaces the whole text; the caret goes to the start and undo history is
    // cleared, so an undo cannot remove the loaded text.
    void setWholeText(std::string_view utf8);

    // Byte offsets of the selection (start <= end), as the buffer counts them.
    std::size_t selectionStart() const;
    std::size_t selectionEnd() const;
    std::string selectedBytes() const;
    // Replaces the selection with `utf8` and leaves the caret after it. Nothing
    // is changed, and no change is signalled, when the text would stay the same.
    void replaceSelection(std::string_view utf8);

    // Lines the assembler found in error are underlined until they are
    // edited or the marks are cleared. Lines count from 0.
    void markErrorLine(int line);
    void clearErrorMarks();
    bool hasErrorMark(int line) const;
    // Selects a whole line (its end of line left out), caret at its start,
    // and scrolls it into view.
    void selectLine(int line);

    // The clipboard's plain text in place of the selection, its line ends as
    // they are (CR LF, lone LF and lone CR stay what they are). Ctrl+V and
    // the text box's own menu paste this way too.
    void paste() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void keepOnlyPlainKeys();
};

// One editor window per open document. Its caption (window title) is the full
// path of the document and the only record of it.
class Editeur : public QMdiSubWindow {
    Q_OBJECT
public:
    Editeur(Workspace& workspace, const QString& caption);

    QString caption() const { return windowTitle(); }
    // Also colours the text as a 68HC11 source, or not, after the caption's extension.
    void setCaption(const QString& caption);

    Texte* texte() const { return texte_; }

    // Takes the client size of the window's definition and its place, moved
    // down and right by `step` title bars so that earlier windows still show;
    // called once the window is shown and its frame is known.
    void placeAsDefined(int step = 0);
    // The place of the window's definition moved by `step` title bars.
    static QPoint cascadePlace(int step, int titleHeight);

    // True when the text has changed since the window was created, loaded or
    // last saved.
    bool Text_Changed() const { return textChanged_; }
    void setText_Changed(bool changed) { textChanged_ = changed; }

signals:
    // A key was released or a click made in the text box, or the window was
    // resized: the position indicator is due for a refresh.
    void caretShouldShow();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Workspace& workspace_;
    Texte* texte_;
    bool textChanged_ = false;
};

// Writes the caret line and column of the active editor into Pos_XY.
void ShowCursorPos(Workspace& workspace);

} // namespace kavrel
