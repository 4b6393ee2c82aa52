// Loading a 68HC11 source of the largest size accepted into a text box that
// colours it, beside the same load into a plain one: what a user waits for is
// the load and the first screen styled, then painted. Then the styling of the
// whole document at once, which only a jump to its end would ask for.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWindow>
#include <string>

#include "editor/document_format.h"
#include "editor/editeur.h"
#include "editor/source_colours.h"
#include "platform/files.h"

namespace {

// A source of exactly kMaxLoadBytes bytes, with every kind of token.
std::string sampleSource() {
    std::string bytes = "* Programme d'essai, g\xE9n\xE9r\xE9 pour mesurer la coloration\r\n";
    for (int block = 0; bytes.size() < kavrel::editor::kMaxLoadBytes; ++block) {
        const std::string n = std::to_string(block);
        bytes += "DEBUT" + n + "\tORG\t$F800+" + n + "\r\n";
        bytes += "\tLDS\t#$00FF\t; la pile en haut de la RAM\r\n";
        bytes += "BOUCLE" + n + "\tLDAA\t4,X\tlecture du port\r\n";
        bytes += "\tANDA\t#%00001111\r\n";
        bytes += "\tBRSET\t0,X,$80,BOUCLE" + n + " attend le bit 7\r\n";
        bytes += "\tFCC\t/Bonjour \xE0 tous/\r\n";
        bytes += "\tFCB\t$0D,$0A,'A',@17,&10\r\n";
        bytes += "VAL" + n + "\tEQU\t(DEBUT" + n + "+2)*3\r\n";
        bytes += "#IF DEBUG == 1\r\n\tJSR\tTRACE\r\n#ENDIF\r\n";
        bytes += "\tBNE\tBOUCLE" + n + "\t; encore\r\n\tRTS\r\n";
        // Some write with spaces rather than tabs.
        bytes += "ATTENTE" + n + " LDAB #10        compteur de tours\r\n";
        bytes += "        DECB                 ; un de moins\r\n";
        bytes += "        BNE ATTENTE" + n + "      pas encore\r\n";
    }
    bytes.resize(kavrel::editor::kMaxLoadBytes - 2);
    return bytes + "\r\n";
}

struct Source {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/kavrel-bench-XXXXXX")};
    std::string path = dir.filePath(QStringLiteral("source.asc")).toStdString();
    Source() { kavrel::platform::writeFileReplacing(path, sampleSource()); }
};

const std::string& sourcePath() {
    static Source instance;
    return instance.path;
}

// A text box of an editor's size, shown, coloured after the caption.
struct Box {
    kavrel::Texte texte;
    explicit Box(const char* caption) {
        texte.resize(443, 270);
        texte.show();
        // Painting does nothing until the window is exposed.
        for (int i = 0; i < 200 && !(texte.windowHandle() && texte.windowHandle()->isExposed());
             ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        kavrel::editor::showSourceColours(texte, QString::fromLatin1(caption));
    }
    // Read, decode and fill as LoadFile does, then style the first screen,
    // and paint it when asked.
    void load(bool paint) {
        texte.setWholeText(
            kavrel::editor::decodeDocument(kavrel::platform::readFile(sourcePath())));
        const long last = texte.SendScintilla(QsciScintilla::SCI_GETFIRSTVISIBLELINE) +
                          texte.SendScintilla(QsciScintilla::SCI_LINESONSCREEN) + 1;
        const long end = texte.SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION,
                                             static_cast<unsigned long>(last));
        texte.SendScintilla(QsciScintilla::SCI_COLOURISE, 0UL, end);
        if (paint)
            texte.viewport()->repaint();
    }
};

void loadInto(benchmark::State& state, const char* caption, bool paint) {
    Box box(caption);
    for (auto _ : state) {
        box.load(paint);
        benchmark::DoNotOptimize(box.texte.buffer().data());
    }
    // The first screen was styled, not merely the text loaded.
    if (kavrel::editor::showsSourceColours(box.texte) &&
        box.texte.SendScintilla(QsciScintilla::SCI_GETENDSTYLED) == 0)
        state.SkipWithError("le premier écran n'a pas été stylé");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kavrel::editor::kMaxLoadBytes));
}

void BM_LoadSourceColoured(benchmark::State& state) {
    loadInto(state, "source.asc", false);
}
BENCHMARK(BM_LoadSourceColoured)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Baseline: the same load into a plain text box.
void BM_LoadSourceColoured_Baseline(benchmark::State& state) {
    loadInto(state, "source.txt", false);
}
BENCHMARK(BM_LoadSourceColoured_Baseline)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same with the first screen painted: each token of its own colour is
// drawn as a run of its own.
void BM_LoadAndPaintSourceColoured(benchmark::State& state) {
    loadInto(state, "source.asc", true);
}
BENCHMARK(BM_LoadAndPaintSourceColoured)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_LoadAndPaintSourceColoured_Baseline(benchmark::State& state) {
    loadInto(state, "source.txt", true);
}
BENCHMARK(BM_LoadAndPaintSourceColoured_Baseline)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Styling every line of the loaded source once.
void BM_ColourWholeSource(benchmark::State& state) {
    Box box("source.asc");
    const std::string text =
        kavrel::editor::decodeDocument(kavrel::platform::readFile(sourcePath()));
    for (auto _ : state) {
        state.PauseTiming();
        box.texte.setWholeText(text);
        state.ResumeTiming();
        box.texte.SendScintilla(QsciScintilla::SCI_COLOURISE, 0UL, -1L);
    }
    if (box.texte.SendScintilla(QsciScintilla::SCI_GETENDSTYLED) !=
        box.texte.SendScintilla(QsciScintilla::SCI_GETLENGTH))
        state.SkipWithError("le document n'a pas été stylé jusqu'au bout");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kavrel::editor::kMaxLoadBytes));
}
BENCHMARK(BM_ColourWholeSource)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
