#include "terminal/flow_layout.h"

#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace kavrel::terminal {

FlowLayout::FlowLayout(QWidget* parent) : QLayout(parent) {}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

void FlowLayout::insertWidget(int index, QWidget* widget) {
    addChildWidget(widget);
    auto* item = new QWidgetItem(widget);
    if (index < 0 || index > items_.size())
        index = static_cast<int>(items_.size());
    items_.insert(index, item);
    invalidate();
}

int FlowLayout::count() const {
    return static_cast<int>(items_.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const {
    return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const {
    return {};
}

bool FlowLayout::hasHeightForWidth() const {
    return true;
}

int FlowLayout::heightForWidth(int width) const {
    return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::sizeHint() const {
    int width = 0;
    int height = 0;
    int shown = 0;
    for (const QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += hint.width();
        height = std::max(height, hint.height());
        ++shown;
    }
    if (shown > 1)
        width += (shown - 1) * gap(Qt::Horizontal);
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

QSize FlowLayout::minimumSize() const {
    int width = 0;
    for (const QLayoutItem* item : items_)
        if (!item->isEmpty())
            width = std::max(width, item->minimumSize().width());
    const QMargins m = contentsMargins();
    width += m.left() + m.right();
    return {width, heightForWidth(width)};
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::gap(Qt::Orientation orientation) const {
    if (spacing() >= 0)
        return spacing();
    const QWidget* owner = parentWidget();
    if (!owner)
        return 6;
    const int metric = owner->style()->pixelMetric(orientation == Qt::Horizontal
                                                       ? QStyle::PM_LayoutHorizontalSpacing
                                                       : QStyle::PM_LayoutVerticalSpacing,
                                                   nullptr, owner);
    return metric >= 0 ? metric : 6;
}

int FlowLayout::arrange(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int across = gap(Qt::Horizontal);
    const int down = gap(Qt::Vertical);
    int y = area.top();
    QList<QLayoutItem*> row;
    QList<int> widths;
    int rowWidth = 0;
    int rowHeight = 0;
    // Each row's items share its height, centred in it.
    const auto place = [&] {
        int x = area.left();
        for (qsizetype i = 0; i < row.size(); ++i) {
            const int height = std::min(row[i]->sizeHint().height(), rowHeight);
            if (apply)
                row[i]->setGeometry(QRect(x, y + (rowHeight - height) / 2, widths[i], height));
            x += widths[i] + across;
        }
        if (!row.isEmpty())
            y += rowHeight + down;
        row.clear();
        widths.clear();
        rowWidth = 0;
        rowHeight = 0;
    };
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        // An item wider than the whole row gets the row, never less than its minimum.
        const int width =
            std::max(std::min(item->sizeHint().width(), area.width()), item->minimumSize().width());
        const int needed = row.isEmpty() ? width : rowWidth + across + width;
        if (!row.isEmpty() && needed > area.width())
            place();
        rowWidth = row.isEmpty() ? width : rowWidth + across + width;
        rowHeight = std::max(rowHeight, item->sizeHint().height());
        row.append(item);
        widths.append(width);
    }
    place();
    const int used = y == area.top() ? 0 : y - down - area.top();
    const QMargins m = contentsMargins();
    return used + m.top() + m.bottom();
}

} // namespace kavrel::terminal
