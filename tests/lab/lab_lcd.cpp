// The HD44780 controller alone: its instructions, its busy time, the 4-bit
// interface, the DDRAM's lines, and what the view and its text show.
#include "lab/lcd.h"

#include <gtest/gtest.h>

namespace {

using lab::Hd44780;

// The datasheet's execution times, at its 270 kHz oscillator.
constexpr double datasheetShortUs = 37;  // most instructions, data writes and reads
constexpr double datasheetLongUs = 1520; // clear display, return home (1.52 ms)
constexpr double eClock = 2'000'000;     // an 8 MHz crystal

std::uint64_t cyclesOf(double microseconds) {
    return static_cast<std::uint64_t>(microseconds * eClock / 1e6);
}

// A controller driven with time to spare between transfers.
struct Lcd {
    explicit Lcd(int columns = 16, int rows = 2) : c(columns, rows) {
        c.setEClock(eClock);
        cmd(0x38); // 8 bits, two lines
        cmd(0x0C); // display on
    }
    void cmd(std::uint8_t v) {
        c.write(false, v, t);
        t += 10'000;
    }
    void data(std::uint8_t v) {
        c.write(true, v, t);
        t += 10'000;
    }
    void print(std::string_view s) {
        for (const char ch : s)
            data(static_cast<std::uint8_t>(ch));
    }
    std::uint8_t readData() {
        const std::uint8_t v = c.read(true, t);
        t += 10'000;
        return v;
    }
    std::uint8_t status() { return c.read(false, t); }
    lab::LcdView view() const {
        lab::LcdView v;
        c.fill(v);
        return v;
    }
    std::string text() const { return view().text(); }
    Hd44780 c;
    std::uint64_t t = 0;
};

TEST(LcdController, ClearAndHome) {
    Lcd lcd;
    lcd.cmd(0x04); // decrement
    lcd.cmd(0x80 | 0x05);
    lcd.print("AB");
    lcd.cmd(0x18); // display shifted left
    lcd.cmd(0x02); // home: counter and shift back, the text stays
    EXPECT_EQ(lcd.c.addressCounter(), 0);
    EXPECT_EQ(lcd.c.displayShift(), 0);
    EXPECT_EQ(lcd.text(), "    BA          \n                ");
    EXPECT_FALSE(lcd.c.increment());

    lcd.cmd(0x01); // clear: blanks, counter home, increment again
    EXPECT_EQ(lcd.text(), "                \n                ");
    EXPECT_EQ(lcd.c.addressCounter(), 0);
    EXPECT_TRUE(lcd.c.increment());
}

TEST(LcdController, EntryModesMoveTheCounterAndShiftTheDisplay) {
    Lcd lcd;
    lcd.cmd(0x06); // increment, no shift
    lcd.print("AB");
    EXPECT_EQ(lcd.c.addressCounter(), 2);

    lcd.cmd(0x80 | 0x45);
    lcd.cmd(0x04); // decrement
    lcd.print("XY");
    EXPECT_EQ(lcd.c.addressCounter(), 0x43);
    EXPECT_EQ(lcd.text(), "AB              \n    YX          ");

    // Increment with shift: the text stays where the cursor was, the display
    // moves left under it.
    lcd.cmd(0x01);
    lcd.cmd(0x80 | 0x10);
    lcd.cmd(0x07);
    lcd.print("0123");
    EXPECT_EQ(lcd.c.displayShift(), 4);
    EXPECT_EQ(lcd.text(), "            0123\n                ");
    // Decrement with shift moves it right.
    lcd.cmd(0x05);
    lcd.data('-');
    EXPECT_EQ(lcd.c.displayShift(), 3);
    // A CGRAM write never shifts.
    lcd.cmd(0x40);
    lcd.data(0x1F);
    EXPECT_EQ(lcd.c.displayShift(), 3);
}

TEST(LcdController, DisplayControlAndShifts) {
    Lcd lcd;
    lcd.print("HELLO");
    auto v = lcd.view();
    EXPECT_TRUE(v.displayOn);
    EXPECT_FALSE(v.cursor);
    EXPECT_EQ(v.cursorRow, 0);
    EXPECT_EQ(v.cursorColumn, 5);

    lcd.cmd(0x08); // display off: blank, but the DDRAM kept
    v = lcd.view();
    EXPECT_FALSE(v.displayOn);
    EXPECT_EQ(v.cursorRow, -1);
    EXPECT_EQ(v.text(), "                \n                ");
    lcd.cmd(0x0F); // on, cursor, blink
    v = lcd.view();
    EXPECT_TRUE(v.cursor);
    EXPECT_TRUE(v.blink);
    EXPECT_EQ(lcd.text().substr(0, 5), "HELLO");

    lcd.cmd(0x10); // cursor left
    lcd.cmd(0x10);
    EXPECT_EQ(lcd.c.addressCounter(), 3);
    lcd.cmd(0x14); // cursor right
    EXPECT_EQ(lcd.c.addressCounter(), 4);

    lcd.cmd(0x18); // display left: the cursor goes with the text
    v = lcd.view();
    EXPECT_EQ(v.text(), "ELLO            \n                ");
    EXPECT_EQ(v.cursorColumn, 3);
    lcd.cmd(0x1C);
    lcd.cmd(0x1C); // display right, past the line's start: its end comes round
    v = lcd.view();
    EXPECT_EQ(v.text(), " HELLO          \n                ");
    EXPECT_EQ(lcd.c.displayShift(), 79);
    // Shifted off the window, the cursor is nowhere on it.
    lcd.cmd(0x80 | 0x27);
    v = lcd.view();
    EXPECT_EQ(v.cursorRow, 0);
    EXPECT_EQ(v.cursorColumn, 0);
    lcd.cmd(0x80 | 0x20);
    EXPECT_EQ(lcd.view().cursorRow, -1);
}

TEST(LcdController, UserCharactersFromCgram) {
    Lcd lcd;
    const std::array<std::uint8_t, 8> heart{0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00};
    lcd.cmd(0x40 | 8); // character 1
    for (const std::uint8_t row : heart)
        lcd.data(row);
    EXPECT_TRUE(lcd.c.addressingCgram());
    EXPECT_EQ(lcd.status() & 0x7F, 16);
    lcd.cmd(0x80);
    lcd.data(1);
    lcd.data(9); // 8-15 are 0-7 again
    lcd.data('A');
    const auto v = lcd.view();
    EXPECT_EQ(v.cells[0], 1);
    EXPECT_EQ(v.cells[1], 9);
    EXPECT_EQ(v.cgram[1], heart);
    EXPECT_EQ(v.text().substr(0, 3), "??A");

    // Read back: the data at the counter, which then moves.
    lcd.cmd(0x40 | 9);
    EXPECT_EQ(lcd.readData(), 0x0A);
    EXPECT_EQ(lcd.readData(), 0x1F);
    EXPECT_EQ(lcd.status() & 0x7F, 11);
    lcd.cmd(0x80 | 0x02);
    EXPECT_EQ(lcd.readData(), 'A');
    EXPECT_EQ(lcd.status() & 0x7F, 3);
}

TEST(LcdController, BusyForTheExecutionTimeAndWritesLostMeanwhile) {
    Lcd lcd;
    const std::uint64_t t = lcd.t;
    lcd.c.write(true, 'A', t);
    EXPECT_EQ(lcd.c.read(false, t + 1), 0x80 | 0x01); // busy, the counter already moved
    EXPECT_TRUE(lcd.c.busy(t + cyclesOf(datasheetShortUs) - 1));
    EXPECT_FALSE(lcd.c.busy(t + cyclesOf(datasheetShortUs)));

    // A write while busy is not executed, and counted.
    lcd.c.write(true, 'B', t + 10);
    EXPECT_EQ(lcd.c.lostWrites(), 1u);
    EXPECT_EQ(lcd.c.ddram(1), 0x20);
    EXPECT_EQ(lcd.c.addressCounter(), 1);

    const std::uint64_t u = t + 1000;
    lcd.c.write(false, 0x01, u);
    EXPECT_TRUE(lcd.c.busy(u + cyclesOf(datasheetLongUs) - 1));
    EXPECT_FALSE(lcd.c.busy(u + cyclesOf(datasheetLongUs)));
    const std::uint64_t w = u + 10'000;
    lcd.c.write(false, 0x02, w);
    EXPECT_TRUE(lcd.c.busy(w + cyclesOf(datasheetLongUs) - 1));
    EXPECT_FALSE(lcd.c.busy(w + cyclesOf(datasheetLongUs)));
    // A slower E clock counts fewer cycles for the same time.
    lcd.c.setEClock(1'000'000);
    const std::uint64_t x = w + 10'000;
    lcd.c.write(false, 0x06, x);
    EXPECT_TRUE(lcd.c.busy(x + 36));
    EXPECT_FALSE(lcd.c.busy(x + 37));
    EXPECT_EQ(lcd.c.lostWrites(), 1u);
}

TEST(LcdController, FourBitInterfaceAfterTheInitialisationSequence) {
    Hd44780 c(16, 2);
    c.setEClock(eClock);
    std::uint64_t t = 0;
    // D0-D3 are not wired: whatever they hold must not matter.
    const auto nibble = [&](bool rs, std::uint8_t n) {
        c.write(rs, static_cast<std::uint8_t>(n << 4 | 0x0F), t);
        t += 10'000;
    };
    const auto byte = [&](bool rs, std::uint8_t v) {
        nibble(rs, v >> 4);
        nibble(rs, v & 0x0F);
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        nibble(false, 0x3);
        nibble(false, 0x3);
        nibble(false, 0x3);
        nibble(false, 0x2);
        EXPECT_FALSE(c.eightBit());
        byte(false, 0x28);
        byte(false, 0x0C);
        byte(false, 0x01);
        byte(true, 'O');
        byte(true, 'K');
        EXPECT_TRUE(c.twoLines());
        EXPECT_EQ(c.ddram(0), 'O');
        EXPECT_EQ(c.ddram(1), 'K');
        EXPECT_EQ(c.addressCounter(), 2);
        // Out of step (a nibble sent alone, as when the program restarts
        // mid-transfer): the sequence brings the part back.
        if (attempt == 0)
            nibble(false, 0x8);
    }

    // Reads come as two nibbles on D7-D4, high first; the counter moves once.
    EXPECT_EQ(c.read(false, t), 0x00);
    EXPECT_EQ(c.read(false, t), 0x20);
    byte(false, 0x80);
    EXPECT_EQ(c.read(true, t), 0x40); // 'O' = $4F
    EXPECT_EQ(c.read(true, t), 0xF0);
    EXPECT_EQ(c.addressCounter(), 1);
    t += 10'000;
    EXPECT_EQ(c.peek(true, t), 0x40); // 'K' = $4B, nothing moved
    EXPECT_EQ(c.addressCounter(), 1);
}

TEST(LcdController, LinesOfTheDdram) {
    // A 20x4 shows $00, $40, $14 and $54 at the starts of its rows.
    Lcd big(20, 4);
    for (const auto& [address, text] : {std::pair<std::uint8_t, const char*>{0x54, "four"},
                                        {0x14, "three"},
                                        {0x40, "two"},
                                        {0x00, "one"}}) {
        big.cmd(0x80 | address);
        big.print(text);
    }
    EXPECT_EQ(big.text(), "one                 \n"
                          "two                 \n"
                          "three               \n"
                          "four                ");
    big.cmd(0x80 | 0x14);
    EXPECT_EQ(big.view().cursorRow, 2);
    EXPECT_EQ(big.view().cursorColumn, 0);

    // Two lines: the counter goes from $27 to $40 and from $67 back to $00.
    Lcd two(40, 2);
    two.cmd(0x80 | 0x27);
    two.print("ab");
    EXPECT_EQ(two.c.ddram(0x27), 'a');
    EXPECT_EQ(two.c.ddram(0x40), 'b');
    two.cmd(0x80 | 0x67);
    two.print("cd");
    EXPECT_EQ(two.c.ddram(0x00), 'd');
    two.cmd(0x04);
    two.cmd(0x80 | 0x40);
    two.data('e');
    EXPECT_EQ(two.c.addressCounter(), 0x27);

    // One line of 80: $4F to $00; a 16x1 shows its first 16.
    Lcd one(16, 1);
    one.cmd(0x30);
    one.cmd(0x80 | 0x4F);
    one.print("yz");
    EXPECT_EQ(one.c.ddram(0x00), 'z');
    EXPECT_EQ(one.text(), "z               ");
}

TEST(LcdRom, GlyphsAndUnicode) {
    const std::array<std::uint8_t, 8> a{0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x00};
    EXPECT_EQ(lab::lcdGlyph('A'), a);
    for (const std::uint8_t blank : {0x00, 0x07, 0x0F, 0x10, 0x80, 0x9F, 0x20, 0xA0})
        for (const std::uint8_t row : lab::lcdGlyph(blank))
            EXPECT_EQ(row, 0) << int(blank);
    for (const std::uint8_t row : lab::lcdGlyph(0xFF))
        EXPECT_EQ(row, 0x1F);
    EXPECT_NE(lab::lcdGlyph(0x5C), lab::lcdGlyph('Y')); // the yen sign, not a backslash
    const std::array<std::uint8_t, 8> p{0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x1E, 0x10};
    EXPECT_EQ(lab::lcdGlyph(0xF0), p); // the tall p, cut at the eighth row
    // Every code from $21 to $7F and $A1 to $FD has a glyph that fits in five
    // columns; the lower half leaves the cursor's row alone.
    for (int code = 0x21; code <= 0xFD; ++code) {
        if (code >= 0x80 && code <= 0xA0)
            continue;
        const auto& g = lab::lcdGlyph(static_cast<std::uint8_t>(code));
        int lit = 0;
        for (const std::uint8_t row : g) {
            EXPECT_EQ(row & ~0x1F, 0) << code;
            lit += row != 0;
        }
        EXPECT_GT(lit, 0) << code;
        if (code < 0x80) {
            EXPECT_EQ(g[7], 0) << code;
        }
    }

    lab::LcdView v;
    v.columns = 12;
    v.rows = 2;
    v.cells = {'a',  0x5C, 0x7E, 0x7F, 0xB1, 0xDF, 0xE4, 0xF4, 0xF6, 0xFF, 0x03, 0x90,
               0xE0, 0xE2, 0xE3, 0xE5, 0xE6, 0xE8, 0xF3, 0xF7, 0xFD, 0xDD, 0xA6, 0xA1};
    EXPECT_EQ(v.text(), "a¥→←ｱ°μΩΣ█??\nαβεσρ√∞π÷ﾝｦ｡");
}

} // namespace
