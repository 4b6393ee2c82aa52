#include "app/message_boxes.h"

#include <QMessageBox>

namespace kavrel::app {

BoxAnswer QtMessageBoxes::show(QWidget* parent, const QString& title, const QString& text,
                               BoxIcon icon, BoxButtons buttons) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    // The texts break their lines with CR LF; a label wants LF alone.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (icon) {
    case BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case BoxIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
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
