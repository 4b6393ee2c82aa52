#include "asmhc11/symbol_table.h"

#include "asmhc11/syntax.h"

#include <algorithm>

namespace asmhc11 {

std::size_t SymbolTable::NoCaseHash::operator()(std::string_view s) const {
    std::size_t h = 1469598103934665603ULL;
    for (const char c : s)
        h = (h ^ static_cast<unsigned char>(upperChar(c))) * 1099511628211ULL;
    return h;
}

bool SymbolTable::NoCaseEqual::operator()(std::string_view a, std::string_view b) const {
    return equalNoCase(a, b);
}

bool SymbolTable::define(std::string_view name, std::optional<std::int64_t> value,
                         std::size_t line) {
    const auto [it, added] = index_.try_emplace(std::string(name), symbols_.size());
    if (!added)
        return false;
    SymbolEntry entry;
    entry.name = it->first;
    entry.value = value;
    entry.definedAt = line;
    symbols_.push_back(std::move(entry));
    return true;
}

SymbolEntry* SymbolTable::find(std::string_view name) {
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : &symbols_[it->second];
}

std::optional<std::int64_t> SymbolTable::lookup(std::string_view name) {
    const auto it = index_.find(name);
    if (it == index_.end())
        return std::nullopt;
    SymbolEntry& symbol = symbols_[it->second];
    if (recording_ && (symbol.usedAt.empty() || symbol.usedAt.back() != line_))
        symbol.usedAt.push_back(line_);
    if (!symbol.value && symbol.pending && resolving_ && !symbol.resolving && !symbol.failed &&
        !needed_)
        needed_ = it->second;
    return symbol.value;
}

void SymbolTable::resolvePending(const Evaluator& evaluate) {
    resolving_ = true;
    std::vector<std::size_t> stack;
    for (std::size_t first = symbols_.size(); first-- > 0;) {
        if (!symbols_[first].pending || symbols_[first].value || symbols_[first].failed)
            continue;
        stack.push_back(first);
        symbols_[first].resolving = true;
        while (!stack.empty()) {
            SymbolEntry& symbol = symbols_[stack.back()];
            needed_.reset();
            bool error = false;
            try {
                const ExprValue v = evaluate(symbol.pendingExpression, symbol.pendingCounter);
                if (v.known)
                    symbol.value = v.value;
            } catch (const AsmError&) {
                // Reported by the second pass on the EQU line itself.
                error = true;
            }
            if (!symbol.value && !error && needed_) {
                symbols_[*needed_].resolving = true;
                stack.push_back(*needed_);
                continue;
            }
            symbol.failed = !symbol.value;
            symbol.resolving = false;
            stack.pop_back();
        }
    }
    resolving_ = false;
}

std::vector<const SymbolEntry*> SymbolTable::sorted() const {
    std::vector<const SymbolEntry*> out;
    out.reserve(symbols_.size());
    for (const SymbolEntry& symbol : symbols_)
        out.push_back(&symbol);
    std::sort(out.begin(), out.end(), [](const SymbolEntry* a, const SymbolEntry* b) {
        return std::lexicographical_compare(
            a->name.begin(), a->name.end(), b->name.begin(), b->name.end(),
            [](char x, char y) { return upperChar(x) < upperChar(y); });
    });
    return out;
}

} // namespace asmhc11
