#include "lab/board_file.h"

#include "common/utf8_text.h"

// toml++ checks its parser's assumptions with assert() in a debug build and
// lets the optimiser take them for granted in a release one. One of them (a
// key starts with a key character) does not hold for some malformed keys,
// which the parser then refuses cleanly with its own error: the checks are
// left out in every build, and the assumptions are not handed to the optimiser.
#pragma push_macro("NDEBUG")
#undef NDEBUG
#define TOML_ASSERT(expr) static_assert(true)
#include <toml++/toml.h>
#pragma pop_macro("NDEBUG")

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace lab {

namespace {

// The first fault found unwinds the reading; readBoardText() turns it into
// the message. It never leaves this file.
struct Fault {
    int line;
    std::string message;
};

[[noreturn]] void fail(int line, std::string message) {
    throw Fault{std::max(line, 1), std::move(message)};
}

int lineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

std::string inQuotes(std::string_view text) {
    return "« " + std::string(text) + " »";
}

std::string hex4(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "$";
    for (int shift = 12; shift >= 0; shift -= 4)
        text += digits[(value >> shift) & 15];
    return text;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// --- text encoding --------------------------------------------------------------------

bool isUtf8(std::string_view text) {
    std::size_t k = 0;
    while (k < text.size()) {
        const auto c = static_cast<unsigned char>(text[k]);
        std::size_t more = 0;
        if (c < 0x80)
            more = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else
            return false;
        if (more >= text.size() - k) // cut short at the end
            return false;
        for (std::size_t j = 1; j <= more; ++j)
            if ((static_cast<unsigned char>(text[k + j]) & 0xC0) != 0x80)
                return false;
        k += more + 1;
    }
    return true;
}

// Windows-1252 to UTF-8: a board file written in Kavrel's editor.
std::string fromWindows1252(std::string_view text) {
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const unsigned u = c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

// toml++ 3.3 asks whether a character is a blank with a table that has
// holes: for the characters of three of its blocks of 1,018 (U+00A1 to
// U+0499, most accented letters among them) it reaches a point marked
// unreachable, which is undefined behaviour. Those characters go to the
// parser moved to U+F0000 + code, which it takes as any other letter, and
// come back in the texts and messages read from it. A file that holds
// such private characters itself is refused.
bool unsafeForToml(char32_t c) {
    if (c < 0xA1 || c > 0xFEFE || c == 0x3000)
        return false;
    const std::uint64_t block = (static_cast<std::uint64_t>(c) - 0xA0) / 0x3FA;
    return !((1ull << block) & 0x7FFFFFFFFFFFF75Eull) && block != 5 && block != 7;
}
constexpr char32_t shieldBase = 0xF0000;

// The code point at `k` (valid UTF-8 assumed from isUtf8(); any byte
// sequence is still taken safely), and its length.
char32_t decodeAt(std::string_view text, std::size_t k, std::size_t& length) {
    const auto c = static_cast<unsigned char>(text[k]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (c < 0x80 || n > text.size() - k) {
        length = 1;
        return c;
    }
    char32_t v = c & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t j = 1; j < n; ++j)
        v = (v << 6) | (static_cast<unsigned char>(text[k + j]) & 0x3F);
    length = n;
    return v;
}

void encode(char32_t u, std::string& out) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (u >> 18));
        out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

// Null when the text holds a character of the shield's own range; its line then.
std::optional<std::string> shield(std::string_view text, int& line) {
    std::string out;
    out.reserve(text.size() + 16);
    line = 1;
    for (std::size_t k = 0; k < text.size();) {
        std::size_t n = 1;
        const char32_t c = decodeAt(text, k, n);
        if (c == '\n')
            ++line;
        if (c >= shieldBase && c < shieldBase + 0x10000)
            return std::nullopt;
        if (unsafeForToml(c))
            encode(shieldBase + c, out);
        else
            out.append(text.substr(k, n));
        k += n;
    }
    return out;
}

std::string unshield(std::string_view text) {
    if (text.find('\xF3') == std::string_view::npos)
        return std::string(text);
    std::string out;
    for (std::size_t k = 0; k < text.size();) {
        std::size_t n = 1;
        const char32_t c = decodeAt(text, k, n);
        if (n == 4 && c >= shieldBase && c < shieldBase + 0x10000)
            encode(c - shieldBase, out);
        else
            out.append(text.substr(k, n));
        k += n;
    }
    return out;
}

// toml++'s own words for its syntax errors, in French where we know them.
std::string syntaxMessage(std::string_view description) {
    // "Error while parsing key-value pair: expected value, saw '\n'"
    if (description.substr(0, 19) == "Error while parsing") {
        const std::size_t colon = description.find(": ");
        if (colon != std::string_view::npos)
            description.remove_prefix(colon + 2);
    }
    struct Known {
        std::string_view start;
        const char* french;
    };
    static const Known known[] = {
        {"encountered end-of-file", "le fichier se termine au milieu d'une valeur"},
        {"cannot redefine existing", "cette clé ou cette table est déjà définie plus haut"},
        {"expected '=', saw", "« = » attendu après le nom de la clé"},
        {"expected value, saw", "valeur attendue après « = »"},
        {"could not determine value type",
         "valeur illisible (un texte s'écrit entre guillemets : \"PA0\")"},
        {"expected comma or closing ']'", "« , » ou « ] » attendu dans la liste"},
        {"expected value or closing ']'", "valeur ou « ] » attendu dans la liste"},
        {"expected comma or closing '}'", "« , » ou « } » attendu dans la table"},
        {"expected a comment or whitespace",
         "texte en trop après la valeur (un commentaire commence par #)"},
        {"expected bare key starting character", "nom de clé attendu"},
        {"expected keys, tables, whitespace or comments", "clé, table ou commentaire attendu"},
        {"leading zeroes are prohibited",
         "un nombre ne commence pas par 0 (en hexadécimal : 0xB5F0 ou \"$B5F0\")"},
        {"unexpected control character", "caractère de contrôle inattendu"},
        {"expected ']'", "« ] » attendu"},
        {"underscores", "« _ » mal placé dans un nombre"},
        {"exceeded maximum nested value depth", "trop de listes ou de tables imbriquées"},
    };
    for (const Known& k : known)
        if (description.substr(0, k.start.size()) == k.start)
            return k.french;
    return std::string(description);
}

// A key the board does not know is most often a typo: the nearest known one.
std::size_t distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

using Keys = std::initializer_list<std::string_view>;

void onlyKeys(const toml::table& table, Keys allowed, std::string_view where) {
    for (auto&& [key, node] : table) {
        const std::string_view name = key.str();
        if (std::find(allowed.begin(), allowed.end(), name) != allowed.end())
            continue;
        std::string message = "clé inconnue " + inQuotes(name);
        if (!where.empty())
            message += " dans " + std::string(where);
        std::string_view best;
        std::size_t bestDistance = 3;
        for (const std::string_view known : allowed) {
            const std::size_t d = distance(lower(name), known);
            if (d < bestDistance) {
                bestDistance = d;
                best = known;
            }
        }
        if (!best.empty())
            message += " (vouliez-vous dire " + inQuotes(best) + " ?)";
        const int line =
            key.source().begin.line ? static_cast<int>(key.source().begin.line) : lineOf(node);
        fail(line, message);
    }
}

// --- values ---------------------------------------------------------------------------

// The values of one table, each read with its type checked.
class Fields {
public:
    Fields(const toml::table& table, std::string where) : table_(table), where_(std::move(where)) {}

    int line() const { return std::max(lineOf(table_), 1); }
    const toml::node* find(std::string_view key) const { return table_.get(key); }
    bool has(std::string_view key) const { return find(key) != nullptr; }

    const toml::node& required(std::string_view key) const {
        const toml::node* node = find(key);
        if (!node)
            fail(line(), "il manque la clé " + inQuotes(key) + " dans " + where_);
        return *node;
    }

    std::optional<std::string> text(std::string_view key) const {
        const toml::node* node = find(key);
        if (!node)
            return std::nullopt;
        if (!node->is_string())
            fail(lineOf(*node), inQuotes(key) + " doit être un texte entre guillemets");
        return unshield(node->as_string()->get());
    }

    std::optional<long long> integer(std::string_view key, long long min, long long max) const {
        const toml::node* node = find(key);
        if (!node)
            return std::nullopt;
        if (!node->is_integer())
            fail(lineOf(*node), inQuotes(key) + " doit être un nombre entier");
        const long long v = node->as_integer()->get();
        if (v < min || v > max)
            fail(lineOf(*node), inQuotes(key) + " vaut " + std::to_string(v) + " : de " +
                                    std::to_string(min) + " à " + std::to_string(max) +
                                    " seulement");
        return v;
    }

    std::optional<double> number(std::string_view key, double min, double max,
                                 const char* range) const {
        const toml::node* node = find(key);
        if (!node)
            return std::nullopt;
        double v = 0;
        if (node->is_integer())
            v = static_cast<double>(node->as_integer()->get());
        else if (node->is_floating_point())
            v = node->as_floating_point()->get();
        else
            fail(lineOf(*node), inQuotes(key) + " doit être un nombre");
        if (!(v >= min && v <= max))
            fail(lineOf(*node), inQuotes(key) + " hors des limites (" + range + ")");
        return v;
    }

    std::optional<bool> boolean(std::string_view key) const {
        const toml::node* node = find(key);
        if (!node)
            return std::nullopt;
        if (!node->is_boolean())
            fail(lineOf(*node), inQuotes(key) + " doit valoir true ou false");
        return node->as_boolean()->get();
    }

    // One of `choices` (compared in lower case); its index.
    std::optional<std::size_t> choice(std::string_view key,
                                      std::initializer_list<std::string_view> choices,
                                      const char* told) const {
        const std::optional<std::string> value = text(key);
        if (!value)
            return std::nullopt;
        const std::string v = lower(*value);
        std::size_t k = 0;
        for (const std::string_view c : choices) {
            if (v == c)
                return k;
            ++k;
        }
        fail(lineOf(*find(key)),
             inQuotes(key) + " ne peut valoir " + inQuotes(*value) + " (" + told + ")");
    }

    // An address: an integer (0xB5F0) or a text "$B5F0".
    std::optional<std::uint16_t> address(std::string_view key) const {
        const toml::node* node = find(key);
        if (!node)
            return std::nullopt;
        const int at = lineOf(*node);
        if (node->is_integer()) {
            const long long v = node->as_integer()->get();
            if (v < 0 || v > 0xFFFF)
                fail(at, inQuotes(key) + " : l'adresse " + std::to_string(v) +
                             " n'est pas entre $0000 et $FFFF");
            return static_cast<std::uint16_t>(v);
        }
        if (node->is_string()) {
            const std::string_view s = node->as_string()->get();
            unsigned v = 0;
            bool ok = s.size() >= 2 && s.size() <= 5 && s[0] == '$';
            for (std::size_t k = 1; ok && k < s.size(); ++k) {
                const char c = s[k];
                int d = -1;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                ok = d >= 0;
                v = v * 16 + static_cast<unsigned>(d);
            }
            if (!ok)
                fail(at, inQuotes(key) + " : adresse illisible " + inQuotes(s) +
                             " (par exemple \"$B5F0\" ou 0xB5F0)");
            return static_cast<std::uint16_t>(v);
        }
        fail(at, inQuotes(key) + " doit être une adresse (\"$B5F0\" ou 0xB5F0)");
    }

    // A pin written as a text: "PA0" to "PE7" (port D: PD0 to PD5), "IRQ",
    // "XIRQ", "RESET".
    static Pin pinOf(const toml::node& node, std::string_view key) {
        const int at = lineOf(node);
        if (!node.is_string())
            fail(at, inQuotes(key) + " doit être le nom d'une broche entre guillemets (\"PA0\")");
        const std::string_view s = node.as_string()->get();
        const std::optional<Pin> pin = Pin::parse(s);
        if (!pin)
            fail(at, "broche inconnue " + inQuotes(s) +
                         " (PA0 à PA7, PB0 à PB7, PC0 à PC7, "
                         "PD0 à PD5, PE0 à PE7, IRQ, XIRQ)");
        if (pin->kind == Pin::Kind::Port && pin->port == Port::D && pin->bit > 5)
            fail(at, "broche inconnue " + inQuotes(s) + " : le port D n'a que PD0 à PD5");
        return *pin;
    }

    std::optional<Pin> pin(std::string_view key) const {
        const toml::node* node = find(key);
        if (!node)
            return std::nullopt;
        return pinOf(*node, key);
    }

    std::optional<std::vector<Pin>> pins(std::string_view key) const {
        const toml::node* node = find(key);
        if (!node)
            return std::nullopt;
        const toml::array* list = node->as_array();
        if (!list)
            fail(lineOf(*node),
                 inQuotes(key) + " doit être une liste de broches ([\"PD2\", \"PD3\"])");
        std::vector<Pin> out;
        for (const toml::node& item : *list)
            out.push_back(pinOf(item, key));
        return out;
    }

    static Port portOf(const toml::node& node, std::string_view key) {
        if (!node.is_string())
            fail(lineOf(node),
                 inQuotes(key) + " doit être le nom d'un port entre guillemets (\"PB\")");
        const std::string_view s = node.as_string()->get();
        const std::optional<Port> port = parsePort(s);
        if (!port)
            fail(lineOf(node), "port inconnu " + inQuotes(s) + " (PA, PB, PC, PD ou PE)");
        return *port;
    }

    const std::string& where() const { return where_; }
    const toml::table& table() const { return table_; }

private:
    const toml::table& table_;
    std::string where_;
};

// --- the board ------------------------------------------------------------------------

class BoardReader {
public:
    BoardReader(const toml::table& root, BoardDescription& board) : root_(root), board_(board) {}

    void read() {
        onlyKeys(root_,
                 {"nom", "description", "circuit", "mode", "quartz", "oc5_vers_xirq", "memoire",
                  "lcd", "clavier", "afficheurs", "bouton", "led", "potentiometre", "buzzer",
                  "chronogramme"},
                 {});
        const Fields top(root_, "la carte");
        board_.name = top.text("nom").value_or("");
        board_.about = top.text("description").value_or("");
        if (const auto chip = top.choice("circuit", {"a1", "e1", "e9"}, "A1, E1 ou E9"))
            board_.chip = static_cast<sim11::Chip>(*chip);
        if (const auto mode =
                top.choice("mode", {"monopuce", "etendu", "étendu", "amorcage", "amorçage"},
                           "monopuce, etendu ou amorcage")) {
            static const sim11::Mode modes[] = {sim11::Mode::SingleChip, sim11::Mode::Expanded,
                                                sim11::Mode::Expanded, sim11::Mode::Bootstrap,
                                                sim11::Mode::Bootstrap};
            board_.mode = modes[*mode];
        }
        if (const auto mhz = top.number("quartz", 0.1, 16.0, "en MHz, de 0,1 à 16"))
            board_.quartzHz = *mhz * 1e6;
        board_.oc5ToXirq = top.boolean("oc5_vers_xirq").value_or(false);

        each("memoire", [&](const Fields& f) { memory(f); });
        each("lcd", [&](const Fields& f) { lcd(f); });
        each("clavier", [&](const Fields& f) { keypad(f); });
        each("afficheurs", [&](const Fields& f) { displays(f); });
        each("bouton", [&](const Fields& f) { button(f); });
        each("led", [&](const Fields& f) { led(f); });
        each("potentiometre", [&](const Fields& f) { pot(f); });
        each("buzzer", [&](const Fields& f) { buzzer(f); });
        if (const toml::node* node = root_.get("chronogramme")) {
            const toml::table* table = node->as_table();
            if (!table)
                fail(lineOf(*node), "[chronogramme] doit être une table : [chronogramme] puis "
                                    "signaux = [\"PA5\", ...]");
            recorder(Fields(*table, "[chronogramme]"));
        }
    }

private:
    // A section of parts: [[lcd]] tables, or a single [lcd] table.
    template <typename Read> void each(std::string_view key, Read read) {
        const toml::node* node = root_.get(key);
        if (!node)
            return;
        const std::string where = "[[" + std::string(key) + "]]";
        if (const toml::table* table = node->as_table()) {
            read(Fields(*table, where));
            return;
        }
        const toml::array* list = node->as_array();
        if (!list)
            fail(lineOf(*node), inQuotes(key) + " doit être une table " + where);
        for (const toml::node& item : *list) {
            const toml::table* table = item.as_table();
            if (!table)
                fail(lineOf(item), inQuotes(key) + " doit être une table " + where);
            read(Fields(*table, where));
        }
    }

    // --- memory ---
    std::uint16_t ramEnd() const { return board_.chip == sim11::Chip::A1 ? 0x00FF : 0x01FF; }

    void checkFree(std::uint16_t from, std::uint16_t to, int line, const std::string& what) {
        const std::string range = hex4(from) + "-" + hex4(to);
        if (from <= 0x103F && to >= 0x1000)
            fail(line, what + " " + range + " recouvre les registres du circuit ($1000-$103F)");
        if (from <= ramEnd())
            fail(line, what + " " + range + " recouvre la RAM interne du circuit ($0000-" +
                           hex4(ramEnd()) + ")");
        for (const Taken& t : taken_)
            if (from <= t.to && to >= t.from)
                fail(line, what + " " + range + " recouvre " + t.what + " " + hex4(t.from) + "-" +
                               hex4(t.to) + " de la ligne " + std::to_string(t.line));
        taken_.push_back({from, to, line, what});
    }

    void memory(const Fields& f) {
        onlyKeys(*tableOf(f), {"type", "debut", "fin", "fichier"}, f.where());
        MemoryRange m;
        m.line = f.line();
        f.required("type");
        m.kind = *f.choice("type", {"ram", "rom"}, "ram ou rom") == 0 ? MemoryRange::Kind::Ram
                                                                      : MemoryRange::Kind::Rom;
        f.required("debut");
        f.required("fin");
        m.from = *f.address("debut");
        m.to = *f.address("fin");
        if (m.to < m.from)
            fail(lineOf(*f.find("fin")),
                 "la fin " + hex4(m.to) + " est avant le début " + hex4(m.from));
        if (f.has("fichier")) {
            if (m.kind != MemoryRange::Kind::Rom)
                fail(lineOf(*f.find("fichier")), "seule une ROM a un fichier (type = \"rom\")");
            m.file = *f.text("fichier");
        }
        if (board_.mode && *board_.mode != sim11::Mode::Expanded)
            fail(m.line, std::string("pas de mémoire externe en mode ") +
                             (*board_.mode == sim11::Mode::SingleChip ? "monopuce" : "amorçage") +
                             " : le bus n'existe qu'en mode étendu");
        checkFree(m.from, m.to, m.line, "la mémoire");
        board_.memory.push_back(std::move(m));
    }

    // --- pins shared by the parts ---
    // Drives: the part sets the level the chip reads (a key, a button).
    // Listens: the part follows what the chip drives (a column, a segment).
    enum class Role { Drives, Listens, Shows };

    static bool chipCanRead(const Pin& p) {
        if (p.kind != Pin::Kind::Port)
            return true;
        if (p.port == Port::B)
            return false;
        return !(p.port == Port::A && p.bit >= 4 && p.bit <= 6);
    }
    static bool chipCanDrive(const Pin& p) {
        if (p.kind != Pin::Kind::Port)
            return false;
        if (p.port == Port::E)
            return false;
        return !(p.port == Port::A && p.bit <= 2);
    }

    void use(const Pin& pin, Role role, const std::string& part, int line, int partId) {
        const std::string name = pin.name();
        if (pin.kind != Pin::Kind::Port && role != Role::Drives)
            fail(line, name + " est une entrée du circuit : " + inQuotes(part) +
                           " ne peut pas s'y brancher");
        if (role == Role::Drives && !chipCanRead(pin))
            fail(line, name + " est une sortie du circuit : " + inQuotes(part) +
                           " ne peut pas la commander");
        if (role != Role::Drives && !chipCanDrive(pin))
            fail(line,
                 name + " est une entrée du circuit : " + inQuotes(part) + " ne peut rien y lire");
        for (const Used& u : used_) {
            if (!(u.pin == pin))
                continue;
            if (u.partId == partId)
                fail(line, "la broche " + name + " sert deux fois dans " + inQuotes(part));
            // Control inputs are wired-OR: several buttons may pull IRQ low.
            if (pin.kind != Pin::Kind::Port)
                continue;
            const bool fight = (u.role == Role::Drives && role != Role::Shows) ||
                               (role == Role::Drives && u.role != Role::Shows);
            if (fight)
                fail(line, "la broche " + name + " est déjà prise par " + inQuotes(u.part) +
                               " (ligne " + std::to_string(u.line) + ")");
        }
        used_.push_back({pin, role, part, line, partId});
    }

    void usePort(Port port, std::uint8_t mask, Role role, const std::string& part, int line,
                 int partId) {
        for (unsigned bit = 0; bit < 8; ++bit)
            if (mask & (1u << bit))
                use(Pin::portPin(port, bit), role, part, line, partId);
    }

    int newPart() { return ++parts_; }

    static const toml::table* tableOf(const Fields& f) { return &f.table(); }

    std::string nameOr(const Fields& f, const std::string& fallback) {
        const std::optional<std::string> name = f.text("nom");
        return name && !name->empty() ? *name : fallback;
    }

    // --- the parts ---
    void lcd(const Fields& f) {
        onlyKeys(*tableOf(f),
                 {"nom", "colonnes", "lignes", "adresse", "donnees", "bus", "rs", "rw", "e",
                  "retroeclairage"},
                 f.where());
        LcdWiring l;
        l.line = f.line();
        l.name = nameOr(f, board_.lcds.empty() ? "LCD"
                                               : "LCD " + std::to_string(board_.lcds.size() + 1));
        l.columns = static_cast<int>(f.integer("colonnes", 1, 80).value_or(16));
        l.rows = static_cast<int>(f.integer("lignes", 1, 4).value_or(2));
        static const std::pair<int, int> sizes[] = {{16, 1}, {16, 2}, {20, 2}, {20, 4}, {40, 2}};
        if (std::find(std::begin(sizes), std::end(sizes), std::pair{l.columns, l.rows}) ==
            std::end(sizes))
            fail(l.line, "un LCD de " + std::to_string(l.columns) + " colonnes sur " +
                             std::to_string(l.rows) +
                             " lignes n'existe pas (16×1, 16×2, 20×2, 20×4 ou 40×2)");
        if (const auto light =
                f.choice("retroeclairage", {"vert", "bleu", "aucun"}, "vert, bleu ou aucun"))
            l.backlight = std::array{"vert", "bleu", "aucun"}[*light];
        const bool onPins =
            f.has("donnees") || f.has("rs") || f.has("e") || f.has("rw") || f.has("bus");
        const int id = newPart();
        if (f.has("adresse")) {
            if (onPins)
                fail(l.line, "un LCD est sur le bus (adresse) ou sur des broches (donnees, rs, "
                             "rw, e), pas les deux");
            l.address = f.address("adresse");
            const int at = lineOf(*f.find("adresse"));
            if (*l.address == 0xFFFF)
                fail(at, "le LCD occupe deux adresses : $FFFF est la dernière du bus");
            if (board_.mode && *board_.mode != sim11::Mode::Expanded)
                fail(at, "un LCD sur le bus demande le mode étendu (mode = \"etendu\")");
            checkFree(*l.address, static_cast<std::uint16_t>(*l.address + 1), at, "le LCD");
        } else {
            if (!onPins)
                fail(l.line, "il faut l'adresse du LCD sur le bus (adresse = \"$B5F0\"), ou ses "
                             "broches (donnees, rs, e)");
            f.required("donnees");
            f.required("rs");
            f.required("e");
            const toml::node& data = *f.find("donnees");
            l.data = Fields::portOf(data, "donnees");
            l.fourBit = f.integer("bus", 4, 8).value_or(8) == 4;
            if (f.has("bus") && !l.fourBit && *f.integer("bus", 4, 8) != 8)
                fail(lineOf(*f.find("bus")), "« bus » vaut 8 ou 4 (bits de données)");
            l.rs = *f.pin("rs");
            l.e = *f.pin("e");
            if (f.has("rw"))
                l.rw = *f.pin("rw");
            const bool readable = l.rw.kind != Pin::Kind::None;
            if (l.data != Port::C && !(l.data == Port::B && !readable))
                fail(lineOf(data), "les données du LCD vont sur le port C (ou sur le port B, "
                                   "qui ne se lit pas, sans broche rw)");
            const auto mask = static_cast<std::uint8_t>(l.fourBit ? 0xF0 : 0xFF);
            usePort(l.data, mask, readable ? Role::Drives : Role::Listens, l.name, lineOf(data),
                    id);
            use(l.rs, Role::Listens, l.name, lineOf(*f.find("rs")), id);
            if (readable)
                use(l.rw, Role::Listens, l.name, lineOf(*f.find("rw")), id);
            use(l.e, Role::Listens, l.name, lineOf(*f.find("e")), id);
        }
        board_.lcds.push_back(std::move(l));
    }

    void keypad(const Fields& f) {
        onlyKeys(*tableOf(f), {"nom", "type", "lignes", "colonnes", "rebond_ms"}, f.where());
        KeypadWiring k;
        k.line = f.line();
        k.name = nameOr(f, board_.keypads.empty()
                               ? "Clavier"
                               : "Clavier " + std::to_string(board_.keypads.size() + 1));
        const std::size_t type = f.choice("type", {"4x4", "4x3"}, "4x4 ou 4x3").value_or(0);
        k.rows = 4;
        k.columns = type == 0 ? 4 : 3;
        f.required("lignes");
        f.required("colonnes");
        k.rowPins = *f.pins("lignes");
        k.columnPins = *f.pins("colonnes");
        const auto count = [&](const char* key, const std::vector<Pin>& pins, int wanted) {
            if (static_cast<int>(pins.size()) != wanted)
                fail(lineOf(*f.find(key)), "il faut " + std::to_string(wanted) + " broches dans " +
                                               inQuotes(key) + " pour un clavier " +
                                               std::to_string(k.rows) + "x" +
                                               std::to_string(k.columns) + " (" +
                                               std::to_string(pins.size()) + " données)");
        };
        count("lignes", k.rowPins, k.rows);
        count("colonnes", k.columnPins, k.columns);
        k.bounceMs = f.number("rebond_ms", 0, 50, "de 0 à 50 ms").value_or(0);
        const int id = newPart();
        for (const Pin& p : k.rowPins)
            use(p, Role::Drives, k.name, lineOf(*f.find("lignes")), id);
        for (const Pin& p : k.columnPins)
            use(p, Role::Listens, k.name, lineOf(*f.find("colonnes")), id);
        board_.keypads.push_back(std::move(k));
    }

    void displays(const Fields& f) {
        onlyKeys(*tableOf(f),
                 {"nom", "chiffres", "commun", "segments", "selection", "selection_active"},
                 f.where());
        DisplayWiring d;
        d.line = f.line();
        d.name = nameOr(f, board_.displays.empty()
                               ? "Afficheurs"
                               : "Afficheurs " + std::to_string(board_.displays.size() + 1));
        d.digits = static_cast<int>(f.integer("chiffres", 1, 8).value_or(4));
        d.commonAnode =
            f.choice("commun", {"cathode", "anode"}, "cathode ou anode").value_or(0) == 1;
        d.selectActiveLow =
            f.choice("selection_active", {"haut", "bas"}, "haut ou bas").value_or(0) == 1;
        const toml::node& segments = f.required("segments");
        const int id = newPart();
        if (const toml::array* list = segments.as_array()) {
            for (const toml::node& item : *list)
                d.segmentPorts.push_back(Fields::portOf(item, "segments"));
            if (static_cast<int>(d.segmentPorts.size()) != d.digits)
                fail(lineOf(segments), "afficheurs en direct : il faut un port par chiffre dans "
                                       "« segments » (" +
                                           std::to_string(d.digits) + " chiffres, " +
                                           std::to_string(d.segmentPorts.size()) + " ports)");
            if (f.has("selection"))
                fail(lineOf(*f.find("selection")),
                     "afficheurs en direct (un port par chiffre) : pas de « selection »");
        } else {
            d.segmentPorts.push_back(Fields::portOf(segments, "segments"));
            if (f.has("selection")) {
                d.selectPins = *f.pins("selection");
                if (static_cast<int>(d.selectPins.size()) != d.digits)
                    fail(lineOf(*f.find("selection")),
                         "il faut une broche de sélection par chiffre (" +
                             std::to_string(d.digits) + " chiffres, " +
                             std::to_string(d.selectPins.size()) + " broches)");
            } else if (d.digits != 1) {
                fail(d.line, "afficheurs multiplexés : il faut une broche de sélection par "
                             "chiffre (selection = [\"PD2\", ...])");
            }
        }
        for (const Port port : d.segmentPorts) {
            if (port != Port::B && port != Port::C)
                fail(lineOf(segments),
                     std::string("les segments vont sur le port B ou C (le port ") +
                         portLetter(port) + " n'a pas huit sorties)");
            usePort(port, 0xFF, Role::Listens, d.name, lineOf(segments), id);
        }
        for (const Pin& p : d.selectPins)
            use(p, Role::Listens, d.name, lineOf(*f.find("selection")), id);
        board_.displays.push_back(std::move(d));
    }

    void button(const Fields& f) {
        onlyKeys(*tableOf(f), {"nom", "broche", "actif"}, f.where());
        ButtonWiring b;
        b.line = f.line();
        b.name = nameOr(f, "Bouton " + std::to_string(board_.buttons.size() + 1));
        f.required("broche");
        b.pin = *f.pin("broche");
        b.activeLow = f.choice("actif", {"bas", "haut"}, "bas ou haut").value_or(0) == 0;
        if (b.pin.kind != Pin::Kind::Port && !b.activeLow)
            fail(lineOf(*f.find("actif")),
                 b.pin.name() + " est active à l'état bas : actif = \"bas\"");
        use(b.pin, Role::Drives, b.name, lineOf(*f.find("broche")), newPart());
        board_.buttons.push_back(std::move(b));
    }

    void led(const Fields& f) {
        onlyKeys(*tableOf(f), {"nom", "broche", "actif", "couleur"}, f.where());
        LedWiring l;
        l.line = f.line();
        l.name = nameOr(f, "LED " + std::to_string(board_.leds.size() + 1));
        f.required("broche");
        l.pin = *f.pin("broche");
        l.activeHigh = f.choice("actif", {"haut", "bas"}, "haut ou bas").value_or(0) == 0;
        static constexpr std::array<std::string_view, 6> colours = {"rouge",  "vert", "jaune",
                                                                    "orange", "bleu", "blanc"};
        if (const auto c =
                f.choice("couleur", {"rouge", "vert", "jaune", "orange", "bleu", "blanc"},
                         "rouge, vert, jaune, orange, bleu ou blanc"))
            l.colour = colours[*c];
        const int at = lineOf(*f.find("broche"));
        if (l.pin.kind != Pin::Kind::Port)
            fail(at, "une LED se branche sur une broche de port, pas sur " + l.pin.name());
        use(l.pin, Role::Shows, l.name, at, newPart());
        board_.leds.push_back(std::move(l));
    }

    void pot(const Fields& f) {
        onlyKeys(*tableOf(f), {"nom", "entree", "tension"}, f.where());
        PotWiring p;
        p.line = f.line();
        p.name = nameOr(f, "Potentiomètre " + std::to_string(board_.pots.size() + 1));
        f.required("entree");
        const Pin pin = *f.pin("entree");
        const int at = lineOf(*f.find("entree"));
        if (pin.kind != Pin::Kind::Port || pin.port != Port::E)
            fail(at, "un potentiomètre se branche sur une entrée analogique, PE0 à PE7, pas sur " +
                         pin.name());
        p.channel = pin.bit;
        p.volts = f.number("tension", 0, 5, "de 0 à 5 V").value_or(2.5);
        use(pin, Role::Drives, p.name, at, newPart());
        board_.pots.push_back(std::move(p));
    }

    void buzzer(const Fields& f) {
        onlyKeys(*tableOf(f), {"nom", "broche"}, f.where());
        BuzzerWiring b;
        b.line = f.line();
        b.name = nameOr(f, board_.buzzers.empty()
                               ? "Buzzer"
                               : "Buzzer " + std::to_string(board_.buzzers.size() + 1));
        f.required("broche");
        b.pin = *f.pin("broche");
        use(b.pin, Role::Listens, b.name, lineOf(*f.find("broche")), newPart());
        board_.buzzers.push_back(std::move(b));
    }

    void recorder(const Fields& f) {
        onlyKeys(*tableOf(f), {"signaux"}, f.where());
        if (!f.has("signaux"))
            return;
        const std::vector<Pin> pins = *f.pins("signaux");
        const int at = lineOf(*f.find("signaux"));
        if (pins.size() > 8)
            fail(at, "le chronogramme suit 8 signaux au plus (" + std::to_string(pins.size()) +
                         " donnés)");
        for (std::size_t k = 0; k < pins.size(); ++k)
            for (std::size_t j = 0; j < k; ++j)
                if (pins[j] == pins[k])
                    fail(at, "le signal " + pins[k].name() + " est deux fois dans le chronogramme");
        board_.recorded = pins;
    }

    struct Taken {
        std::uint16_t from, to;
        int line;
        std::string what;
    };
    struct Used {
        Pin pin;
        Role role;
        std::string part;
        int line;
        int partId;
    };

    const toml::table& root_;
    BoardDescription& board_;
    std::vector<Taken> taken_;
    std::vector<Used> used_;
    int parts_ = 0;
};

} // namespace

std::optional<BoardDescription> readBoardText(std::string_view text, std::string folder,
                                              std::string& error) {
    std::string converted;
    if (!isUtf8(text)) {
        converted = fromWindows1252(text);
        text = converted;
    }
    BoardDescription board;
    board.folder = std::move(folder);
    try {
        int line = 1;
        const std::optional<std::string> shielded = shield(text, line);
        if (!shielded)
            fail(line, "caractère d'usage privé inattendu");
        toml::table root;
        try {
            root = toml::parse(*shielded);
        } catch (const toml::parse_error& e) {
            fail(static_cast<int>(e.source().begin.line),
                 "syntaxe TOML invalide (" + syntaxMessage(e.description()) + ")");
        }
        BoardReader(root, board).read();
    } catch (const Fault& fault) {
        error = "ligne " + std::to_string(fault.line) + " : " + unshield(fault.message);
        return std::nullopt;
    } catch (const std::exception&) {
        error = "ligne 1 : fichier de carte illisible";
        return std::nullopt;
    }
    return board;
}

std::optional<BoardDescription> readBoardFile(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path file = kavrel::utf8::toPath(path);
    std::error_code ec;
    if (fs::is_directory(file, ec)) {
        error = "c'est un répertoire, pas un fichier de carte";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "fichier illisible";
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::optional<BoardDescription> board =
        readBoardText(bytes.str(), kavrel::utf8::fromPath(file.parent_path()), error);
    if (board && board->name.empty())
        board->name = kavrel::utf8::fromPath(file.stem());
    return board;
}

std::vector<BoardFileEntry> listBoardFiles(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<BoardFileEntry> entries;
    std::error_code ec;
    fs::directory_iterator it(kavrel::utf8::toPath(folder), ec);
    if (ec)
        return entries;
    for (const fs::directory_entry& entry : it) {
        const fs::path& path = entry.path();
        if (lower(kavrel::utf8::fromPath(path.extension())) != ".toml" ||
            !entry.is_regular_file(ec))
            continue;
        BoardFileEntry e;
        e.path = kavrel::utf8::fromPath(path);
        e.name = kavrel::utf8::fromPath(path.stem());
        if (const std::optional<BoardDescription> board = readBoardFile(e.path, e.error))
            e.name = board->name;
        entries.push_back(std::move(e));
    }
    std::sort(entries.begin(), entries.end(),
              [](const BoardFileEntry& a, const BoardFileEntry& b) { return a.path < b.path; });
    return entries;
}

} // namespace lab
