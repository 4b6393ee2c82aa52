// The symbol table: names without regard to case, their values, the equates
// left unknown by the first pass and their resolution, and where each symbol
// is defined and used (for the cross-reference).
#pragma once

#include "asmhc11/expression.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace asmhc11 {

struct SymbolEntry {
    std::string name; // as first written
    std::optional<std::int64_t> value;
    std::size_t definedAt = 0;       // index of the defining line in the assembled stream
    std::vector<std::size_t> usedAt; // lines that name it (when asked for)
    // An EQU whose value is not known after the first pass.
    std::string_view pendingExpression;
    std::int64_t pendingCounter = 0;
    bool pending = false;
    bool resolving = false; // on the resolution stack
    bool failed = false;    // cannot be resolved (cycle, error, undefined name)
};

class SymbolTable {
public:
    // False if the name is already defined.
    bool define(std::string_view name, std::optional<std::int64_t> value, std::size_t line);
    SymbolEntry* find(std::string_view name);
    SymbolEntry& last() { return symbols_.back(); }

    // The value of a name for an expression. While pending equates are being
    // resolved, the first pending one it meets is noted as needed.
    std::optional<std::int64_t> lookup(std::string_view name);

    // Records the lines that use each symbol from now on.
    void recordUses(std::size_t line) {
        recording_ = true;
        line_ = line;
    }
    void stopRecording() { recording_ = false; }

    // Resolves the EQUs left unknown by the first pass, each after the ones it
    // names, with an explicit stack: long chains cost no recursion, and every
    // symbol is settled once, so cycles and repeated names cost no more.
    using Evaluator = std::function<ExprValue(std::string_view expression, std::int64_t counter)>;
    void resolvePending(const Evaluator& evaluate);

    // Every symbol, sorted by name without regard to case.
    std::vector<const SymbolEntry*> sorted() const;

private:
    struct NoCaseHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const;
    };
    struct NoCaseEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    std::vector<SymbolEntry> symbols_;
    std::unordered_map<std::string, std::size_t, NoCaseHash, NoCaseEqual> index_;
    bool resolving_ = false;
    std::optional<std::size_t> needed_;
    bool recording_ = false;
    std::size_t line_ = 0;
};

} // namespace asmhc11
