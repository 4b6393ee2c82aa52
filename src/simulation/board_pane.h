#pragma once

// The "Carte" pane: the lab board around the chip, drawn from the board's
// view as each update brings it: the LCD's characters pixel by pixel on its
// backlight, the 7-segment digits with each segment's brightness, the
// keypad's keys, the push buttons, the LEDs, the potentiometers and the
// buzzer's note. Each part is a child widget of its own with an accessible
// name; the LCD's accessible description is what it shows (LcdView::text()).
// A key or a button is held while the mouse holds it; with the pane's focus,
// 0-9, A-D, * and # hold the keypad's key while the key is down. GUI thread.
#include <QElapsedTimer>
#include <QHash>
#include <QWidget>
#include <memory>
#include <vector>

#include "simulation/lab.h"

class QAbstractButton;
class QLabel;
class QSlider;
class QVBoxLayout;

namespace kavrel::simulation {

class BoardPart;

class BoardPane : public QWidget {
    Q_OBJECT
public:
    explicit BoardPane(QWidget* parent = nullptr);
    ~BoardPane() override;

    // The board as it is now; the parts are made anew when another board
    // (or a board of other parts) comes.
    void showView(const lab::BoardView& view);
    const lab::BoardView& view() const { return view_; }
    // Forgets the board shown: the next view builds its parts again.
    void clear();

    // The parts, for tests and assistive tools; null where there is none.
    QWidget* lcd(int index) const;
    QWidget* displays(int index) const;
    QAbstractButton* key(int keypad, int index) const;
    QAbstractButton* button(int index) const;
    QWidget* led(int index) const;
    QSlider* pot(int index) const;
    QLabel* buzzer(int index) const;
    // What the pane says once an LCD has ignored a write (hidden until then).
    QLabel* notice() const { return notice_; }

signals:
    void keyChanged(int keypad, int key, bool down);
    void buttonChanged(int button, bool down);
    void potChanged(int pot, double volts);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void build(const lab::BoardView& view);
    // A key (keypad >= 0) or a button (keypad -1) pressed or released. A
    // release comes at least kShortestPress after its press: a tap on a key
    // lasts as long as a finger's, long enough for a program to see it.
    void hold(int keypad, int index, bool down);
    void emitHold(int keypad, int index, bool down);
    bool sameParts(const lab::BoardView& view) const;

    lab::BoardView view_;
    bool built_ = false;
    bool toldLost_ = false;
    QWidget* parts_ = nullptr; // holds every part, made anew with the board
    QVBoxLayout* layout_;
    QLabel* title_;
    QLabel* notice_;
    std::vector<BoardPart*> lcds_, displays_, leds_;
    std::vector<std::vector<QAbstractButton*>> keys_;
    std::vector<QAbstractButton*> buttons_;
    std::vector<QSlider*> pots_;
    std::vector<QLabel*> potVolts_;
    std::vector<QLabel*> buzzers_;
    // The keyboard's keys held, and the keypad key each one holds.
    QHash<int, std::pair<int, int>> held_;
    struct Press {
        QElapsedTimer since;
        quint64 count = 0; // presses so far: a late release of an earlier one is dropped
    };
    QHash<qint64, Press> presses_;

public:
    static constexpr int kShortestPress = 100; // ms
};

} // namespace kavrel::simulation
