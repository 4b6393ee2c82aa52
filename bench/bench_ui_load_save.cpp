// Loading a document of the largest size accepted into an editor, and saving
// it, beside what a plain Qt text box pays for the fill alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <string>

#include "editor/document_format.h"
#include "editor/editeur.h"
#include "platform/files.h"

namespace {

// An assembler listing of exactly kMaxLoadBytes bytes, accents included.
std::string sampleBytes() {
    const std::string line =
        "boucle\tldaa\t#$1F\t; r\xE9p\xE8te tant que le compteur n'est pas nul\r\n";
    std::string bytes;
    while (bytes.size() < kavrel::editor::kMaxLoadBytes)
        bytes += line;
    bytes.resize(kavrel::editor::kMaxLoadBytes - 2);
    return bytes + "\r\n";
}

// The folder of the files: KAVREL_BENCH_DIR when set (to compare disks: a
// save waits until its bytes are on the disk), else the system's temporary one.
QString benchFolder() {
    const QString chosen = qEnvironmentVariable("KAVREL_BENCH_DIR");
    return (chosen.isEmpty() ? QDir::tempPath() : chosen) + QStringLiteral("/kavrel-bench-XXXXXX");
}

struct Files {
    QTemporaryDir dir{benchFolder()};
    std::string source = dir.filePath(QStringLiteral("source.asc")).toStdString();
    std::string target = dir.filePath(QStringLiteral("target.asc")).toStdString();
    Files() { kavrel::platform::writeFileReplacing(source, sampleBytes()); }
};

Files& files() {
    static Files instance;
    return instance;
}

void BM_LoadIntoTexte(benchmark::State& state) {
    kavrel::Texte texte;
    texte.show();
    for (auto _ : state) {
        texte.setWholeText(
            kavrel::editor::decodeDocument(kavrel::platform::readFile(files().source)));
        benchmark::DoNotOptimize(texte.buffer().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kavrel::editor::kMaxLoadBytes));
}
BENCHMARK(BM_LoadIntoTexte)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_SaveFromTexte(benchmark::State& state) {
    kavrel::Texte texte;
    texte.show();
    texte.setWholeText(kavrel::editor::decodeDocument(kavrel::platform::readFile(files().source)));
    for (auto _ : state)
        kavrel::platform::writeFileReplacing(files().target,
                                             kavrel::editor::encodeDocument(texte.buffer()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kavrel::editor::kMaxLoadBytes));
}
BENCHMARK(BM_SaveFromTexte)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The save's own work, without the file system.
void BM_EncodeOnly(benchmark::State& state) {
    kavrel::Texte texte;
    texte.setWholeText(kavrel::editor::decodeDocument(kavrel::platform::readFile(files().source)));
    for (auto _ : state)
        benchmark::DoNotOptimize(kavrel::editor::encodeDocument(texte.buffer()));
}
BENCHMARK(BM_EncodeOnly)->Unit(benchmark::kMicrosecond);

// Baseline: the fill alone of a plain Qt text box, the text already decoded.
void BM_LoadIntoTexte_Baseline(benchmark::State& state) {
    QPlainTextEdit edit;
    edit.show();
    const QString text = QString::fromStdString(
        kavrel::editor::decodeDocument(kavrel::platform::readFile(files().source)));
    for (auto _ : state) {
        edit.setPlainText(text);
        benchmark::DoNotOptimize(edit.document());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kavrel::editor::kMaxLoadBytes));
}
BENCHMARK(BM_LoadIntoTexte_Baseline)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
