#include "workspace/message_boxes.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

namespace kavrel::app {

namespace {

// A box that only its buttons answer. A Yes/No question has no Cancel, and
// Qt would take No for Escape and for the close control: one stray key would
// then drop the user's changes without a word.
class AnswerOnlyBox final : public QMessageBox {
public:
    AnswerOnlyBox(QWidget* parent, bool answerOnly)
        : QMessageBox(parent), answerOnly_(answerOnly) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (answerOnly_ && event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (answerOnly_ && !clickedButton()) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

private:
    bool answerOnly_;
};

} // namespace

BoxAnswer QtMessageBoxes::show(QWidget* parent, const QString& title, const QString& text,
                               BoxIcon icon, BoxButtons buttons) {
    AnswerOnlyBox box(parent, buttons == BoxButtons::YesNo);
    box.setWindowTitle(title);
    // The texts break their lines with CR LF; a label wants LF alone.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (icon) {
    case BoxIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case BoxIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case BoxIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    if (buttons == BoxButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return BoxAnswer::Ok;
}

} // namespace kavrel::app
