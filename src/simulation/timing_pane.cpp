#include "simulation/timing_pane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "simulation/simulation_texts.h"

namespace kavrel::simulation {

namespace {

QString tr8(const char* text) {
    return QString::fromUtf8(text);
}

// French decimals, without the thousands' space: "1000 Hz", "1,000 ms".
QString number(double value, int decimals) {
    QLocale french(QLocale::French);
    french.setNumberOptions(QLocale::OmitGroupSeparator);
    return french.toString(value, 'f', decimals);
}

// The scroll bar counts in steps of this many pixels' worth of cycles, so
// that its range stays within an int for hours of recording.
constexpr double kScrollPixels = 8.0;
constexpr double kMinCyclesPerPixel = 0.05;
constexpr double kMaxCyclesPerPixel = 1e9;

} // namespace

QString timeText(double seconds) {
    const double magnitude = std::abs(seconds);
    if (magnitude >= 1.0)
        return number(seconds, 3) + QStringLiteral(" s");
    if (magnitude >= 1e-3)
        return number(seconds * 1e3, 3) + QStringLiteral(" ms");
    return number(seconds * 1e6, 1) + QStringLiteral(" µs");
}

TimingPane::TimingPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TimingPane"));
    setAccessibleName(tr8(texts::kTimingTab));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    auto* tools = new QHBoxLayout;
    auto button = [&](const char* text, const char* name, void (TimingPane::*slot)()) {
        auto* b = new QToolButton;
        b->setText(tr8(text));
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(tr8(text));
        connect(b, &QToolButton::clicked, this, slot);
        tools->addWidget(b);
    };
    button(texts::kZoomIn, "TimingZoomIn", &TimingPane::zoomIn);
    button(texts::kZoomOut, "TimingZoomOut", &TimingPane::zoomOut);
    button(texts::kZoomAll, "TimingZoomAll", &TimingPane::zoomAll);
    auto* help = new QLabel(tr8(texts::kTimingHelp));
    help->setWordWrap(true);
    tools->addWidget(help, 1);
    layout->addLayout(tools);

    empty_ = new QLabel(tr8(texts::kTimingEmpty));
    empty_->setObjectName(QStringLiteral("TimingEmpty"));
    empty_->setWordWrap(true);
    layout->addWidget(empty_);

    view_ = new TimingView(*this);
    layout->addWidget(view_, 1);
    scroll_ = new QScrollBar(Qt::Horizontal);
    scroll_->setObjectName(QStringLiteral("TimingScroll"));
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
        if (settingScroll_)
            return;
        follow_ = value >= scroll_->maximum();
        start_ = recordedFrom() +
                 static_cast<std::uint64_t>(std::max(0.0, value * kScrollPixels * cyclesPerPixel_));
        view_->update();
    });
    layout->addWidget(scroll_);

    readout_ = new QLabel;
    readout_->setObjectName(QStringLiteral("TimingReadout"));
    readout_->setTextFormat(Qt::PlainText);
    readout_->setWordWrap(true);
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(readout_);
    setSignals({});
}

void TimingPane::setSignals(const QStringList& names) {
    names_ = names;
    empty_->setVisible(names.isEmpty());
    view_->setVisible(!names.isEmpty());
    scroll_->setVisible(!names.isEmpty());
    clear();
    view_->updateGeometry();
}

void TimingPane::clear() {
    traces_.assign(static_cast<std::size_t>(names_.size()), lab::Trace{});
    start_ = 0;
    follow_ = true;
    cursor_.reset();
    second_.reset();
    measured_ = -1;
    viewChanged();
}

void TimingPane::append(const lab::RecordedChunk& chunk, double eClock) {
    if (eClock > 0)
        eClock_ = eClock;
    const std::size_t count = std::min(traces_.size(), chunk.edges.size());
    for (std::size_t k = 0; k < count; ++k) {
        lab::Trace& trace = traces_[k];
        const bool level = k < chunk.startLevels.size() ? chunk.startLevels[k] : false;
        trace.append(level, chunk.from, chunk.until, chunk.edges[k]);
        // Bounded: past the limit the oldest quarter goes at once, so that
        // the erase is paid rarely.
        if (trace.edges.size() > kMaxEdges) {
            const std::size_t drop = trace.edges.size() - kMaxEdges * 3 / 4;
            trace.startLevel = trace.edges[drop - 1].level;
            trace.from = trace.edges[drop - 1].cycle;
            trace.edges.erase(trace.edges.begin(),
                              trace.edges.begin() + static_cast<std::ptrdiff_t>(drop));
        }
    }
    keepToLatest();
    viewChanged();
}

void TimingPane::keepToLatest() {
    if (!follow_)
        return;
    const double span = view_->plotWidth() * cyclesPerPixel_;
    const std::uint64_t until = recordedUntil();
    start_ = until > span ? until - static_cast<std::uint64_t>(span) : 0;
    start_ = std::max(start_, recordedFrom());
}

std::uint64_t TimingPane::recordedFrom() const {
    std::uint64_t from = UINT64_MAX;
    for (const lab::Trace& t : traces_)
        from = std::min(from, t.from);
    return from == UINT64_MAX ? 0 : from;
}

std::uint64_t TimingPane::recordedUntil() const {
    std::uint64_t until = 0;
    for (const lab::Trace& t : traces_)
        until = std::max(until, t.until);
    return until;
}

void TimingPane::zoomAround(double factor, std::uint64_t cycle, int x) {
    const double before = cyclesPerPixel_;
    cyclesPerPixel_ = std::clamp(cyclesPerPixel_ * factor, kMinCyclesPerPixel, kMaxCyclesPerPixel);
    if (cyclesPerPixel_ == before)
        return;
    // The cycle under `x` stays under it.
    const double left = static_cast<double>(cycle) - (x - view_->plotLeft()) * cyclesPerPixel_;
    follow_ = false;
    scrollTo(left <= 0 ? 0 : static_cast<std::uint64_t>(left));
}

void TimingPane::zoomIn() {
    const int middle = view_->plotLeft() + view_->plotWidth() / 2;
    zoomAround(0.5, cursor_.value_or(view_->cycleAt(middle)),
               cursor_ ? view_->xOf(*cursor_) : middle);
}

void TimingPane::zoomOut() {
    const int middle = view_->plotLeft() + view_->plotWidth() / 2;
    zoomAround(2.0, view_->cycleAt(middle), middle);
}

void TimingPane::zoomAll() {
    const std::uint64_t from = recordedFrom(), until = recordedUntil();
    cyclesPerPixel_ = std::clamp(static_cast<double>(until - from) / view_->plotWidth(),
                                 kMinCyclesPerPixel, kMaxCyclesPerPixel);
    follow_ = true;
    start_ = from;
    viewChanged();
}

void TimingPane::scrollTo(std::uint64_t cycle) {
    const std::uint64_t from = recordedFrom(), until = recordedUntil();
    const auto span = static_cast<std::uint64_t>(view_->plotWidth() * cyclesPerPixel_);
    const std::uint64_t last = until > from + span ? until - span : from;
    start_ = std::clamp(cycle, from, std::max(from, last));
    viewChanged();
}

void TimingPane::placeCursor(std::uint64_t cycle, int signal) {
    cursor_ = cycle;
    measured_ = signal >= 0 && signal < names_.size() ? signal : (names_.isEmpty() ? -1 : 0);
    follow_ = false;
    updateReadout();
    view_->update();
}

void TimingPane::placeSecondCursor(std::uint64_t cycle) {
    second_ = cycle;
    follow_ = false;
    updateReadout();
    view_->update();
}

QString TimingPane::readout() const {
    return readout_->text();
}

void TimingPane::updateReadout() {
    QStringList lines;
    if (cursor_) {
        lines << tr8(texts::kCursorAt).arg(timeText(static_cast<double>(*cursor_) / eClock_));
        if (measured_ >= 0 && static_cast<std::size_t>(measured_) < traces_.size()) {
            const QString name = names_[measured_];
            const auto m =
                lab::measureAround(traces_[static_cast<std::size_t>(measured_)], *cursor_, eClock_);
            if (m)
                lines << tr8(texts::kMeasure)
                             .arg(name, timeText(m->periodSeconds),
                                  number(m->frequency, m->frequency >= 100 ? 0 : 2),
                                  number(m->duty * 100, 0));
            else
                lines << tr8(texts::kNoPeriod).arg(name);
        }
        if (second_)
            lines << tr8(texts::kBetweenCursors)
                         .arg(timeText(lab::secondsBetween(*cursor_, *second_, eClock_)));
    }
    readout_->setText(lines.join(QLatin1Char('\n')));
}

void TimingPane::updateScrollBar() {
    const std::uint64_t from = recordedFrom(), until = recordedUntil();
    const double span = view_->plotWidth() * cyclesPerPixel_;
    const double steps = std::max(0.0, (static_cast<double>(until - from) - span) /
                                           (kScrollPixels * cyclesPerPixel_));
    const int maximum = static_cast<int>(std::min(steps, 2e9));
    settingScroll_ = true;
    scroll_->setRange(0, std::max(0, maximum));
    scroll_->setPageStep(std::max(1, static_cast<int>(view_->plotWidth() / kScrollPixels)));
    scroll_->setValue(static_cast<int>(std::min(
        static_cast<double>(start_ - std::min(start_, from)) / (kScrollPixels * cyclesPerPixel_),
        2e9)));
    settingScroll_ = false;
}

void TimingPane::viewChanged() {
    updateScrollBar();
    updateReadout();
    view_->update();
}

TimingView::TimingView(TimingPane& pane) : QWidget(&pane), pane_(pane) {
    setObjectName(QStringLiteral("TimingView"));
    setAccessibleName(QString::fromUtf8(texts::kTimingView));
    setFocusPolicy(Qt::ClickFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize TimingView::sizeHint() const {
    return {400, std::max(1, static_cast<int>(pane_.names_.size())) * 40 + 8};
}

QSize TimingView::minimumSizeHint() const {
    return {120, 40};
}

int TimingView::rowHeight() const {
    const int rows = std::max(1, static_cast<int>(pane_.names_.size()));
    return std::clamp((height() - 4) / rows, 16, 60);
}

int TimingView::signalAt(int y) const {
    const int row = (y - 2) / rowHeight();
    return y >= 2 && row < pane_.names_.size() ? row : -1;
}

std::uint64_t TimingView::cycleAt(int x) const {
    const double cycle =
        static_cast<double>(pane_.start_) + (x - labelWidth_) * pane_.cyclesPerPixel_;
    return cycle <= 0 ? 0 : static_cast<std::uint64_t>(std::llround(cycle));
}

int TimingView::xOf(std::uint64_t cycle) const {
    const double x =
        labelWidth_ +
        (static_cast<double>(cycle) - static_cast<double>(pane_.start_)) / pane_.cyclesPerPixel_;
    return static_cast<int>(std::clamp(x, -1e6, 1e6));
}

void TimingView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A view following the latest time keeps it on its right edge at any
    // width, also the first time it is shown after recording while hidden.
    pane_.keepToLatest();
    pane_.updateScrollBar();
}

void TimingView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(20, 24, 28));
    const int rowH = rowHeight();
    const int right = width();
    const std::uint64_t first = cycleAt(labelWidth_);
    const std::uint64_t last = cycleAt(right);
    p.setPen(QColor(200, 200, 200));
    for (int row = 0; row < pane_.names_.size(); ++row) {
        const int top = 2 + row * rowH;
        const int high = top + 4, low = top + rowH - 6;
        p.setPen(QColor(70, 70, 80));
        p.drawLine(labelWidth_, top + rowH - 1, right, top + rowH - 1);
        p.setPen(QColor(220, 220, 220));
        p.drawText(QRect(2, top, labelWidth_ - 4, rowH), Qt::AlignVCenter | Qt::AlignLeft,
                   pane_.names_[row]);
        if (static_cast<std::size_t>(row) >= pane_.traces_.size())
            continue;
        const lab::Trace& trace = pane_.traces_[static_cast<std::size_t>(row)];
        if (trace.until <= trace.from && trace.edges.empty())
            continue;
        p.setPen(QPen(QColor(80, 230, 120), 1));
        // Only the edges in view; several within a pixel are drawn as one
        // vertical bar.
        const auto begin =
            std::upper_bound(trace.edges.begin(), trace.edges.end(), first,
                             [](std::uint64_t c, const lab::Edge& e) { return c < e.cycle; });
        bool level = trace.levelAt(first);
        int x = std::max(labelWidth_, xOf(trace.from));
        const int end = std::min(right, xOf(trace.until));
        for (auto it = begin; it != trace.edges.end() && it->cycle <= last && x <= end; ++it) {
            const int ex = xOf(it->cycle);
            if (ex > x)
                p.drawLine(x, level ? high : low, ex, level ? high : low);
            // Every edge within this pixel.
            auto next = it;
            while (std::next(next) != trace.edges.end() && xOf(std::next(next)->cycle) <= ex)
                ++next;
            p.drawLine(ex, high, ex, low);
            level = next->level;
            x = ex;
            it = next;
        }
        if (end > x)
            p.drawLine(x, level ? high : low, end, level ? high : low);
    }
    if (pane_.cursor_) {
        p.setPen(QPen(QColor(255, 220, 60), 1));
        const int cx = xOf(*pane_.cursor_);
        p.drawLine(cx, 0, cx, height());
    }
    if (pane_.second_) {
        p.setPen(QPen(QColor(80, 180, 255), 1, Qt::DashLine));
        const int cx = xOf(*pane_.second_);
        p.drawLine(cx, 0, cx, height());
    }
}

void TimingView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pane_.names_.isEmpty())
        return QWidget::mousePressEvent(event);
    const int x = static_cast<int>(event->position().x());
    const int y = static_cast<int>(event->position().y());
    if (x < labelWidth_)
        return;
    if (event->modifiers() & Qt::ShiftModifier)
        pane_.placeSecondCursor(cycleAt(x));
    else
        pane_.placeCursor(cycleAt(x), signalAt(y));
    event->accept();
}

void TimingView::wheelEvent(QWheelEvent* event) {
    const int delta =
        event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (delta == 0)
        return;
    const int x = static_cast<int>(event->position().x());
    if (event->modifiers() & Qt::ControlModifier) {
        pane_.zoomAround(delta > 0 ? 0.5 : 2.0, cycleAt(x), x);
    } else {
        // A notch scrolls a tenth of the view.
        const double shift = plotWidth() * pane_.cyclesPerPixel_ / 10.0 * (delta > 0 ? -1 : 1);
        const double to = static_cast<double>(pane_.start_) + shift;
        pane_.follow_ = false;
        pane_.scrollTo(to <= 0 ? 0 : static_cast<std::uint64_t>(to));
    }
    event->accept();
}

} // namespace kavrel::simulation
