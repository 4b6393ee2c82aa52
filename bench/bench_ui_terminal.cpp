// A program that prints a lot: 200 KB of short lines, arriving a few bytes
// at a time as the SCI hands them over, until all is on screen. The terminal
// gathers what comes between two ticks into one insert; the baseline inserts
// each piece as it comes, the same text in the same capped screen.
#include <benchmark/benchmark.h>

#include <QPlainTextEdit>
#include <QTextCursor>

#include "terminal/serial_text.h"
#include "terminal/terminal_widget.h"

namespace {

constexpr int kChunk = 8;

QByteArray output() {
    QByteArray bytes;
    for (int line = 0; bytes.size() < 200'000; ++line)
        bytes +=
            "Mesure " + QByteArray::number(line) + " : $" + QByteArray::number(line, 16) + "\r\n";
    return bytes;
}

void BM_TerminalFlood(benchmark::State& state) {
    const QByteArray bytes = output();
    for (auto _ : state) {
        kavrel::terminal::TerminalWidget terminal;
        terminal.resize(640, 400);
        terminal.show();
        for (qsizetype at = 0; at < bytes.size(); at += kChunk)
            terminal.appendReceived(bytes.mid(at, kChunk));
        terminal.flush();
        benchmark::DoNotOptimize(terminal.display()->document()->blockCount());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_TerminalFlood)->Unit(benchmark::kMillisecond);

void BM_TerminalFlood_Baseline(benchmark::State& state) {
    const QByteArray bytes = output();
    for (auto _ : state) {
        QPlainTextEdit screen;
        screen.setReadOnly(true);
        screen.setMaximumBlockCount(kavrel::terminal::TerminalWidget::kMaxLines);
        screen.resize(640, 400);
        screen.show();
        kavrel::terminal::ReceivedText text;
        QTextCursor end(screen.document());
        for (qsizetype at = 0; at < bytes.size(); at += kChunk) {
            const QByteArray piece = bytes.mid(at, kChunk);
            end.movePosition(QTextCursor::End);
            end.insertText(QString::fromStdString(
                text.feed(std::string_view(piece.constData(), piece.size()))));
        }
        benchmark::DoNotOptimize(screen.document()->blockCount());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_TerminalFlood_Baseline)->Unit(benchmark::kMillisecond);

} // namespace
