#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "workspace/message_boxes.h"
#include "editor/common_dialog.h"

namespace kavrel::test {

struct ShownBox {
    QString title;
    QString text;
    app::BoxIcon icon;
    app::BoxButtons buttons;
};

// Records every box and answers Yes/No boxes from a queue (No when it runs
// dry, and the box is counted as unexpected).
class ScriptedMessageBoxes final : public app::MessageBoxes {
public:
    app::BoxAnswer show(QWidget* parent, const QString& title, const QString& text,
                        app::BoxIcon icon, app::BoxButtons buttons) override;

    std::vector<ShownBox> shown;
    std::deque<app::BoxAnswer> answers;
    int unscripted = 0;
    // Runs while a box is "open", as a user would act then (may be empty).
    std::function<void(const ShownBox&)> onShow;
};

struct DialogCall {
    QString mode; // "open" or "save"
    QString title;
    QString filter;
};

// Records every dialog and answers with queued paths (cancel when empty).
class ScriptedCommonDialog final : public editor::CommonDialog {
public:
    QString showOpen(QWidget* parent, const QString& title, const QString& qtFilter) override;
    QString showSave(QWidget* parent, const QString& title, const QString& qtFilter) override;

    std::vector<DialogCall> calls;
    std::deque<QString> answers;

private:
    QString answer();
};

} // namespace kavrel::test
