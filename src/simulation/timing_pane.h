#pragma once

// The "Chronogramme" pane: the signals the board records (its file's
// [chronogramme]) drawn as waveforms, kept here from the recorder's chunks
// (the oldest edges dropped past a few million a signal). Zoom with the
// buttons or Ctrl+wheel, scroll with the bar or the wheel; a click places
// the cursor and measures the signal under it (period, frequency, duty
// cycle), Shift+click places a second cursor and tells the time between the
// two. While the program runs the view follows the latest time unless the
// user scrolled back. GUI thread.
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "simulation/lab.h"

class QLabel;
class QScrollBar;
class QToolButton;

namespace kavrel::simulation {

class TimingView;

class TimingPane : public QWidget {
    Q_OBJECT
public:
    explicit TimingPane(QWidget* parent = nullptr);

    // The signals' names ("PA5"); the traces are cleared.
    void setSignals(const QStringList& names);
    const QStringList& signalNames() const { return names_; }
    // What was recorded is dropped (a reset: time starts again).
    void clear();
    // A chunk of the recorder, its cycles counted at `eClock` Hz.
    void append(const lab::RecordedChunk& chunk, double eClock);
    const std::vector<lab::Trace>& traces() const { return traces_; }

    // The view: its first cycle on the left and cycles per pixel.
    std::uint64_t viewStart() const { return start_; }
    double cyclesPerPixel() const { return cyclesPerPixel_; }
    void zoomIn();
    void zoomOut();
    void zoomAll();
    // Shows from `cycle` on (clamped to what was recorded).
    void scrollTo(std::uint64_t cycle);

    // The cursors, as a click would place them (`signal`: the row measured).
    void placeCursor(std::uint64_t cycle, int signal);
    void placeSecondCursor(std::uint64_t cycle);
    std::optional<std::uint64_t> cursor() const { return cursor_; }
    // What the pane says at the cursors.
    QString readout() const;
    TimingView* view() const { return view_; }

    // Most edges a signal keeps; the oldest go first.
    static constexpr std::size_t kMaxEdges = 4'000'000;

private:
    friend class TimingView;
    // Following the latest time: the view's start set so that it ends there.
    void keepToLatest();
    void zoomAround(double factor, std::uint64_t cycle, int x);
    void viewChanged();
    void updateScrollBar();
    void updateReadout();
    std::uint64_t recordedFrom() const;
    std::uint64_t recordedUntil() const;

    QStringList names_;
    std::vector<lab::Trace> traces_;
    double eClock_ = 2'000'000.0;
    std::uint64_t start_ = 0;
    double cyclesPerPixel_ = 20.0;
    bool follow_ = true; // the view keeps to the latest time
    std::optional<std::uint64_t> cursor_, second_;
    int measured_ = -1; // the signal under the cursor
    TimingView* view_;
    QScrollBar* scroll_;
    QLabel* readout_;
    QLabel* empty_;
    bool settingScroll_ = false;
};

// The drawing of the traces, one row a signal, its name on the left.
class TimingView : public QWidget {
    Q_OBJECT
public:
    explicit TimingView(TimingPane& pane);
    // The row of the signal at a height, -1 outside any.
    int signalAt(int y) const;
    // The cycle at a point of the drawing.
    std::uint64_t cycleAt(int x) const;
    int xOf(std::uint64_t cycle) const;
    int plotLeft() const { return labelWidth_; }
    int plotWidth() const { return std::max(1, width() - labelWidth_); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int rowHeight() const;
    TimingPane& pane_;
    int labelWidth_ = 48;
};

// A time in seconds as the pane writes it: "1,000 ms", "12,5 µs", "2,000 s".
QString timeText(double seconds);

} // namespace kavrel::simulation
