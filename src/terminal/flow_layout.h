#pragma once

// A row of controls that goes on to a new row where the width runs out, so
// that a narrow window shows every control whole rather than cutting their
// texts. Items keep their order; a group that must stay together (a label
// and its field) is one widget. User-interface thread.
#include <QLayout>
#include <QList>

namespace kavrel::terminal {

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    // Puts `widget` at `index` (at the end when out of range).
    void insertWidget(int index, QWidget* widget);
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    // All in one row.
    QSize sizeHint() const override;
    // The widest item, the rows as many as they need at that width.
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in `rect` (only measures unless `apply`); the height used.
    int arrange(const QRect& rect, bool apply) const;
    int gap(Qt::Orientation orientation) const;

    QList<QLayoutItem*> items_;
};

} // namespace kavrel::terminal
