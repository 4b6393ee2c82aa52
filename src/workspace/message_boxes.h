#pragma once

#include <QString>

class QWidget;

namespace kavrel::app {

enum class BoxIcon { Warning, Critical, Information };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

// Every modal message box of the program goes through this, so tests can
// script the answers and read back exactly what was shown. Line breaks in
// `text` are CR LF.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual BoxAnswer show(QWidget* parent, const QString& title, const QString& text, BoxIcon icon,
                           BoxButtons buttons) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
public:
    BoxAnswer show(QWidget* parent, const QString& title, const QString& text, BoxIcon icon,
                   BoxButtons buttons) override;
};

} // namespace kavrel::app
