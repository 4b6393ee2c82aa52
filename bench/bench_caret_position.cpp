#include <benchmark/benchmark.h>

#include <string>

#include "editor/caret_position.h"

using kavrel::editor::CaretPosition;
using kavrel::editor::caretPosition;

namespace {

// Assembler source with CR LF lines, a few accented comments, cut to `size`.
std::string assemblerText(std::size_t size) {
    const std::string lines[] = {
        "\tORG\t$F800\r\n",
        "DEBUT\tLDS\t#$00FF\t\t; pile en haut de la RAM\r\n",
        "\tLDAA\t#$10\r\n",
        "BOUCLE\tSTAA\t$1004\t\t; écrit le port B\r\n",
        "\tDECA\r\n",
        "\tBNE\tBOUCLE\r\n",
        "\tJMP\tDEBUT\t\t; recommence à zéro\r\n",
        "\r\n",
    };
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i)
        text += lines[i % 8];
    text.resize(size);
    return text;
}

// What the indicator did before: copy the whole text, walk it one char at a time.
CaretPosition baseline(const std::string_view text, std::size_t offset) {
    const std::string copy(text);
    CaretPosition position;
    for (std::size_t i = 0; i < offset; ++i) {
        const char c = copy[i];
        if (c == '\n') {
            ++position.line;
            position.column = 0;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++position.column;
        }
    }
    return position;
}

void BM_CaretAtEnd(benchmark::State& state) {
    const std::string text = assemblerText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(caretPosition(text, text.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_CaretAtEnd_Baseline(benchmark::State& state) {
    const std::string text = assemblerText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(baseline(text, text.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

} // namespace

BENCHMARK(BM_CaretAtEnd)->Arg(60000)->Arg(10 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CaretAtEnd_Baseline)->Arg(60000)->Arg(10 << 20)->Unit(benchmark::kMicrosecond);
