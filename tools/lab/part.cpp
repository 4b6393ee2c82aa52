#include "lab/part.h"

namespace lab {

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool same(std::string_view text, std::string_view word) {
    if (text.size() != word.size())
        return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (upper(text[k]) != word[k])
            return false;
    return true;
}

} // namespace

std::optional<Port> parsePort(std::string_view text) {
    if (text.size() != 2 || upper(text[0]) != 'P')
        return std::nullopt;
    const char letter = upper(text[1]);
    if (letter < 'A' || letter > 'E')
        return std::nullopt;
    return static_cast<Port>(letter - 'A');
}

char portLetter(Port port) {
    return static_cast<char>('A' + static_cast<int>(port));
}

std::optional<Pin> Pin::parse(std::string_view text) {
    if (same(text, "IRQ"))
        return Pin{Kind::Irq};
    if (same(text, "XIRQ"))
        return Pin{Kind::Xirq};
    if (same(text, "RESET"))
        return Pin{Kind::Reset};
    if (text.size() != 3 || text[2] < '0' || text[2] > '7')
        return std::nullopt;
    const std::optional<Port> port = parsePort(text.substr(0, 2));
    if (!port)
        return std::nullopt;
    return portPin(*port, static_cast<unsigned>(text[2] - '0'));
}

std::string Pin::name() const {
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::Irq:
        return "IRQ";
    case Kind::Xirq:
        return "XIRQ";
    case Kind::Reset:
        return "RESET";
    case Kind::Port:
        break;
    }
    return std::string{'P', portLetter(port), static_cast<char>('0' + bit)};
}

void PinDrivers::attach(Machine* machine) {
    machine_ = machine;
    if (!machine_)
        return;
    for (const Port port : {Port::A, Port::C, Port::D, Port::E})
        apply(port);
    // A control input nobody holds is left to whoever set it (the window's switches).
    for (const sim11::Signal s : {sim11::Signal::Irq, sim11::Signal::Xirq, sim11::Signal::Reset})
        for (const Drive& d : drivers_)
            if (d.signals[static_cast<std::size_t>(s)]) {
                applySignal(s);
                break;
            }
}

int PinDrivers::add() {
    drivers_.emplace_back();
    return static_cast<int>(drivers_.size()) - 1;
}

void PinDrivers::drive(int driver, Port port, std::uint8_t mask, std::uint8_t levels) {
    Drive& d = drivers_.at(static_cast<std::size_t>(driver));
    const auto p = static_cast<std::size_t>(port);
    if (d.mask[p] == mask && d.levels[p] == (levels & mask))
        return;
    d.mask[p] = mask;
    d.levels[p] = levels & mask;
    apply(port);
}

void PinDrivers::setBase(Port port, std::uint8_t levels) {
    base_[static_cast<std::size_t>(port)] = levels;
    apply(port);
}

std::uint8_t PinDrivers::levels(Port port) const {
    const auto p = static_cast<std::size_t>(port);
    std::uint8_t v = base_[p];
    for (const Drive& d : drivers_)
        v = static_cast<std::uint8_t>((v & ~d.mask[p]) | d.levels[p]);
    return v;
}

void PinDrivers::apply(Port port) {
    // Port B is an output port: nothing to give it.
    if (machine_ && port != Port::B)
        machine_->setPortInputs(port, levels(port));
}

void PinDrivers::driveSignal(int driver, sim11::Signal signal, bool asserted) {
    Drive& d = drivers_.at(static_cast<std::size_t>(driver));
    bool& held = d.signals[static_cast<std::size_t>(signal)];
    if (held == asserted)
        return;
    held = asserted;
    applySignal(signal);
}

void PinDrivers::applySignal(sim11::Signal signal) {
    if (!machine_)
        return;
    bool low = false;
    for (const Drive& d : drivers_)
        low = low || d.signals[static_cast<std::size_t>(signal)];
    if (machine_->signal(signal) != low)
        machine_->setSignal(signal, low);
}

} // namespace lab
