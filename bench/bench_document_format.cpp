#include <benchmark/benchmark.h>

#include <string>

#include "editor/document_format.h"

using namespace kavrel::editor;

namespace {

// A file as saved: cp1252 bytes, CR LF lines, some accented comments.
std::string fileBytes(std::size_t size, bool accented) {
    const std::string lines[] = {
        "\tORG\t$F800\r\n",
        accented ? "DEBUT\tLDS\t#$00FF\t\t; pile en haut de la m\xE9moire\r\n"
                 : "DEBUT\tLDS\t#$00FF\t\t; pile en haut de la memoire\r\n",
        "\tLDAA\t#$10\r\n",
        accented ? "BOUCLE\tSTAA\t$1004\t\t; \xE9"
                   "crit le port B\r\n"
                 : "BOUCLE\tSTAA\t$1004\t\t; ecrit le port B\r\n",
        "\tDECA\r\n",
        "\tBNE\tBOUCLE\r\n",
    };
    std::string bytes;
    for (std::size_t i = 0; bytes.size() < size - 2; ++i)
        bytes += lines[i % 6];
    bytes.resize(size - 2);
    bytes += "\r\n";
    return bytes;
}

void decode(benchmark::State& state) {
    const std::string bytes = fileBytes(kMaxLoadBytes, state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeDocument(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void encode(benchmark::State& state) {
    const std::string text = decodeDocument(fileBytes(kMaxLoadBytes, state.range(0) != 0));
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeDocument(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

} // namespace

// Argument: 0 for a pure ASCII file, 1 with accented comments.
BENCHMARK(decode)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(encode)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
