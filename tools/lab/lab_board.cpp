#include "lab/lab_board.h"

#include "common/hex_text.h"
#include "common/utf8_text.h"

#include "lab/displays.h"
#include "lab/keypad.h"
#include "lab/lcd.h"
#include "lab/recorder.h"
#include "lab/simple_parts.h"
#include "sim11/s19.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace lab {

namespace {

// A ROM outside the chip: its bytes from its file, or erased. The CPU's
// writes go nowhere; a program loaded there is burnt in.
class RomDevice final : public sim11::BusDevice {
public:
    RomDevice(std::uint16_t from, std::uint16_t to)
        : from_(from), bytes_(static_cast<std::size_t>(to - from) + 1, 0xFF) {}
    std::uint8_t read(std::uint16_t address, std::uint64_t) override { return peek(address); }
    void write(std::uint16_t, std::uint8_t, std::uint64_t) override {}
    std::uint8_t peek(std::uint16_t address) const override {
        return bytes_[static_cast<std::size_t>(address - from_)];
    }
    bool load(std::uint16_t address, std::uint8_t value) override {
        bytes_[static_cast<std::size_t>(address - from_)] = value;
        return true;
    }
    std::uint16_t from() const { return from_; }
    std::uint16_t to() const { return static_cast<std::uint16_t>(from_ + bytes_.size() - 1); }

private:
    std::uint16_t from_;
    std::vector<std::uint8_t> bytes_;
};

// Where the board has nothing on the bus: the data lines float high, and
// no program can be put there.
class EmptyBus final : public sim11::BusDevice {
public:
    std::uint8_t read(std::uint16_t, std::uint64_t) override { return 0xFF; }
    void write(std::uint16_t, std::uint8_t, std::uint64_t) override {}
    std::uint8_t peek(std::uint16_t) const override { return 0xFF; }
};

bool readRom(const MemoryRange& memory, const std::string& folder, RomDevice& rom,
             std::string& error) {
    namespace fs = std::filesystem;
    fs::path path = kavrel::utf8::toPath(memory.file);
    if (path.is_relative() && !folder.empty())
        path = kavrel::utf8::toPath(folder) / path;
    const std::string shown = memory.file;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "ligne " + std::to_string(memory.line) + " : " + shown +
                " : fichier de la ROM illisible";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    sim11::S19Image image;
    std::string why;
    if (!sim11::parseS19(text.str(), image, why)) {
        error = "ligne " + std::to_string(memory.line) + " : " + shown + " : " + why;
        return false;
    }
    for (const sim11::S19Block& block : image.blocks)
        for (std::size_t k = 0; k < block.bytes.size(); ++k) {
            const auto address = static_cast<std::uint16_t>(block.address + k);
            if (address < memory.from || address > memory.to) {
                error = "ligne " + std::to_string(memory.line) + " : " + shown + " : l'adresse " +
                        kavrel::hex::word(address) + " est hors de la ROM (" +
                        kavrel::hex::word(memory.from) + "-" + kavrel::hex::word(memory.to) + ")";
                return false;
            }
            rom.load(address, block.bytes[k]);
        }
    return true;
}

// "« ROW » « ROW »": the rows of what an LCD shows.
std::string rowsOf(const std::string& text) {
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = text.find('\n', from);
        if (!out.empty())
            out += ' ';
        out += "« " + text.substr(from, end == std::string::npos ? end : end - from) + " »";
        if (end == std::string::npos)
            break;
        from = end + 1;
        if (from == text.size())
            break;
    }
    return out;
}

} // namespace

struct LabBoard::Parts {
    BoardDescription description;
    double eClock = 2'000'000.0;
    PinDrivers drivers;
    std::array<std::uint8_t, 5> base{0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    bool baseSet = false; // setPortBase() was called

    std::vector<std::unique_ptr<Lcd>> lcds;
    std::vector<std::unique_ptr<Keypad>> keypads;
    std::vector<std::unique_ptr<Displays>> displays;
    std::vector<std::unique_ptr<Button>> buttons;
    std::vector<std::unique_ptr<Led>> leds;
    std::vector<std::unique_ptr<Potentiometer>> pots;
    std::vector<std::unique_ptr<Buzzer>> buzzers;
    std::unique_ptr<Recorder> recorder;
    std::vector<Part*> all; // in the order they drive the pins

    std::vector<std::unique_ptr<RomDevice>> roms;
    EmptyBus empty;
    Machine* machine = nullptr;
    std::vector<Machine::Connection> devices;

    std::vector<std::string> shown;  // the lines told last
    std::vector<std::string> looked; // the lines at the last settled look

    std::uint64_t cycle() const { return machine ? machine->cycles() : 0; }
};

LabBoard::LabBoard() : parts_(std::make_unique<Parts>()) {}
// The machine may be gone already: nothing is disconnected here.
LabBoard::~LabBoard() = default;

std::unique_ptr<LabBoard> LabBoard::create(const BoardDescription& description,
                                           std::string& error) {
    std::unique_ptr<LabBoard> board(new LabBoard);
    Parts& p = *board->parts_;
    p.description = description;
    if (description.quartzHz)
        p.eClock = *description.quartzHz / 4;
    for (const MemoryRange& m : description.memory) {
        if (m.kind != MemoryRange::Kind::Rom)
            continue;
        auto rom = std::make_unique<RomDevice>(m.from, m.to);
        if (!m.file.empty() && !readRom(m, description.folder, *rom, error))
            return nullptr;
        p.roms.push_back(std::move(rom));
    }
    // Parts that drive pins are added in the file's order of kinds; what
    // one drives the next may override on the same pin, which the file
    // reader already refuses.
    for (const LcdWiring& s : description.lcds) {
        p.lcds.push_back(std::make_unique<Lcd>(s));
        p.all.push_back(p.lcds.back().get());
    }
    for (const KeypadWiring& s : description.keypads) {
        p.keypads.push_back(std::make_unique<Keypad>(s));
        p.all.push_back(p.keypads.back().get());
    }
    for (const DisplayWiring& s : description.displays) {
        p.displays.push_back(std::make_unique<Displays>(s));
        p.all.push_back(p.displays.back().get());
    }
    for (const ButtonWiring& s : description.buttons) {
        p.buttons.push_back(std::make_unique<Button>(s));
        p.all.push_back(p.buttons.back().get());
    }
    for (const LedWiring& s : description.leds) {
        p.leds.push_back(std::make_unique<Led>(s));
        p.all.push_back(p.leds.back().get());
    }
    for (const PotWiring& s : description.pots) {
        p.pots.push_back(std::make_unique<Potentiometer>(s));
        p.all.push_back(p.pots.back().get());
    }
    for (const BuzzerWiring& s : description.buzzers) {
        p.buzzers.push_back(std::make_unique<Buzzer>(s));
        p.all.push_back(p.buzzers.back().get());
    }
    if (!description.recorded.empty()) {
        p.recorder = std::make_unique<Recorder>(description.recorded);
        p.all.push_back(p.recorder.get());
    }
    return board;
}

const BoardDescription& LabBoard::description() const {
    return parts_->description;
}

sim11::Setup LabBoard::setup(sim11::Setup chosen) const {
    const BoardDescription& description = parts_->description;
    if (description.chip)
        chosen.chip = *description.chip;
    if (description.mode)
        chosen.mode = *description.mode;
    chosen.board = description.oc5ToXirq ? sim11::Board::Evb : sim11::Board::Chip;
    return chosen;
}

void LabBoard::setEClock(double hertz) {
    parts_->eClock = hertz;
    for (Part* part : parts_->all)
        part->setEClock(hertz);
}

double LabBoard::eClock() const {
    return parts_->eClock;
}

void LabBoard::attach(Machine& machine) {
    Parts& p = *parts_;
    // The machine attached before may be gone: its connections are forgotten.
    p.devices.clear();
    p.machine = &machine;
    p.drivers = PinDrivers();
    for (std::size_t k = 0; k < p.base.size(); ++k)
        p.drivers.setBase(static_cast<Port>(k), p.base[k]);
    // A board with nothing on its pins leaves the chip's inputs as they are
    // (the chip alone, the evaluation board), until the switches are set.
    if (!p.all.empty() || p.baseSet)
        p.drivers.attach(&machine);
    for (Part* part : p.all) {
        part->setEClock(p.eClock);
        part->attach(machine, p.drivers);
    }
    if (machine.mode() != sim11::Mode::Expanded || p.description.memory.empty())
        return;
    for (const std::unique_ptr<RomDevice>& rom : p.roms)
        if (const Machine::Connection id = machine.attachDevice(rom->from(), rom->to(), *rom))
            p.devices.push_back(id);
    // Everything the board does not list answers $FF: the memories, the
    // LCDs on the bus, the chip's registers and RAM stay out of it (the
    // chip's EEPROM and ROM answer before any device).
    std::vector<bool> listed(0x10000, false);
    const auto mark = [&](unsigned from, unsigned to) {
        for (unsigned a = from; a <= to && a < 0x10000; ++a)
            listed[a] = true;
    };
    for (const MemoryRange& m : p.description.memory)
        mark(m.from, m.to);
    for (const LcdWiring& l : p.description.lcds)
        if (l.address)
            mark(*l.address, *l.address + 1u);
    mark(machine.registerBase(), machine.registerBase() + 63u);
    if (machine.ramSize())
        mark(machine.ramBase(), machine.ramBase() + machine.ramSize() - 1u);
    for (unsigned a = 0; a < 0x10000;) {
        if (listed[a]) {
            ++a;
            continue;
        }
        unsigned end = a;
        while (end + 1 < 0x10000 && !listed[end + 1])
            ++end;
        if (const Machine::Connection id = machine.attachDevice(
                static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(end), p.empty))
            p.devices.push_back(id);
        a = end + 1;
    }
}

void LabBoard::detach() {
    Parts& p = *parts_;
    if (!p.machine)
        return;
    for (Part* part : p.all)
        part->detach();
    for (const Machine::Connection id : p.devices)
        p.machine->disconnect(id);
    p.devices.clear();
    p.drivers.attach(nullptr);
    p.machine = nullptr;
}

void LabBoard::setPortBase(Port port, std::uint8_t levels) {
    Parts& p = *parts_;
    p.base[static_cast<std::size_t>(port)] = levels;
    if (!p.baseSet && p.machine) {
        p.baseSet = true;
        p.drivers.attach(p.machine);
    }
    p.baseSet = true;
    p.drivers.setBase(port, levels);
}

void LabBoard::pressKey(int keypad, int key, bool down) {
    if (keypad >= 0 && static_cast<std::size_t>(keypad) < parts_->keypads.size())
        parts_->keypads[static_cast<std::size_t>(keypad)]->press(key, down);
}

void LabBoard::pressButton(int button, bool down) {
    if (button >= 0 && static_cast<std::size_t>(button) < parts_->buttons.size())
        parts_->buttons[static_cast<std::size_t>(button)]->press(down);
}

void LabBoard::setPot(int pot, double volts) {
    if (pot >= 0 && static_cast<std::size_t>(pot) < parts_->pots.size())
        parts_->pots[static_cast<std::size_t>(pot)]->setVolts(volts);
}

BoardView LabBoard::view() const {
    const Parts& p = *parts_;
    const std::uint64_t cycle = p.cycle();
    BoardView v;
    v.name = p.description.name;
    for (const auto& part : p.lcds)
        v.lcds.push_back(part->view(cycle));
    for (const auto& part : p.keypads)
        v.keypads.push_back(part->view());
    for (const auto& part : p.displays)
        v.displays.push_back(part->view(cycle));
    for (const auto& part : p.buttons)
        v.buttons.push_back(part->view());
    for (const auto& part : p.leds)
        v.leds.push_back(part->view(cycle));
    for (const auto& part : p.pots)
        v.pots.push_back(part->view());
    for (const auto& part : p.buzzers)
        v.buzzers.push_back(part->view(cycle));
    return v;
}

Recorder* LabBoard::recorder() {
    return parts_->recorder.get();
}

std::vector<std::string> LabBoard::showLines() const {
    const Parts& p = *parts_;
    const std::uint64_t cycle = p.cycle();
    std::vector<std::string> lines;
    for (const auto& lcd : p.lcds) {
        const LcdView view = lcd->view(cycle);
        lines.push_back(view.name + " : " + rowsOf(view.text()));
    }
    for (const auto& displays : p.displays) {
        const DisplayView view = displays->view(cycle);
        lines.push_back(view.name + " : « " + view.text() + " »");
    }
    return lines;
}

std::vector<std::string> LabBoard::changes() {
    std::vector<std::string> lines = showLines();
    std::vector<std::string> changed;
    parts_->shown.resize(lines.size());
    for (std::size_t k = 0; k < lines.size(); ++k)
        if (parts_->shown[k] != lines[k]) {
            changed.push_back(lines[k]);
            parts_->shown[k] = lines[k];
        }
    parts_->looked = std::move(lines);
    return changed;
}

std::vector<std::string> LabBoard::settledChanges() {
    std::vector<std::string> lines = showLines();
    std::vector<std::string> changed;
    parts_->shown.resize(lines.size());
    parts_->looked.resize(lines.size());
    for (std::size_t k = 0; k < lines.size(); ++k)
        if (lines[k] == parts_->looked[k] && parts_->shown[k] != lines[k]) {
            changed.push_back(lines[k]);
            parts_->shown[k] = lines[k];
        }
    parts_->looked = std::move(lines);
    return changed;
}

} // namespace lab
