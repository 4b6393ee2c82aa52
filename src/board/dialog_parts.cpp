#include "board/dialog_parts.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>

namespace kavrel::board {

QComboBox* editableCombo(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

QProgressBar* loadProgress(QWidget* parent, const QString& format) {
    auto* progress = new QProgressBar(parent);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setFormat(format);
    progress->setRange(0, 1);
    progress->setValue(0);
    progress->setTextVisible(false);
    return progress;
}

void showProgress(QProgressBar* progress, qulonglong done, qulonglong total) {
    progress->setRange(0, static_cast<int>(total));
    progress->setValue(static_cast<int>(done));
    progress->setTextVisible(true);
}

QLabel* statusLabel(QWidget* parent) {
    auto* status = new QLabel(parent);
    status->setObjectName(QStringLiteral("status"));
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return status;
}

} // namespace kavrel::board
