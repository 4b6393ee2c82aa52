#include "fakes/scripted_dialogs.h"

namespace kavrel::test {

app::BoxAnswer ScriptedMessageBoxes::show(QWidget*, const QString& title, const QString& text,
                                          app::BoxIcon icon, app::BoxButtons buttons) {
    shown.push_back({title, text, icon, buttons});
    if (onShow)
        onShow(shown.back());
    if (buttons == app::BoxButtons::Ok)
        return app::BoxAnswer::Ok;
    if (answers.empty()) {
        ++unscripted;
        return app::BoxAnswer::No;
    }
    const app::BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedCommonDialog::answer() {
    if (answers.empty())
        return {};
    QString path = answers.front();
    answers.pop_front();
    return path;
}

QString ScriptedCommonDialog::showOpen(QWidget*, const QString& title, const QString& qtFilter) {
    calls.push_back({QStringLiteral("open"), title, qtFilter});
    return answer();
}

QString ScriptedCommonDialog::showSave(QWidget*, const QString& title, const QString& qtFilter) {
    calls.push_back({QStringLiteral("save"), title, qtFilter});
    return answer();
}

} // namespace kavrel::test
