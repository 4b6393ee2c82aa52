// What a BOO job adds to the bare start of the assembler: the staging copy,
// the removal of stale outputs and the three copies back. Both benchmarks run
// the same fake assembler, which writes the three small outputs and ends.
#include <benchmark/benchmark.h>

#include "benchmark_runner.h"

#include <string>

#include "../tests/fakes/program_dir.h"
#include "assembly/assemble.h"
#include "platform/files.h"
#include "platform/process.h"

namespace {

using kavrel::test::ProgramDir;
using kavrel::test::TempDir;

const std::string kSource = "; clignote\r\n\tORG $1000\r\nBOUCLE\tLDAA #$55\r\n\tBRA BOUCLE\r\n";

void BM_BooJob_Baseline(benchmark::State& state) {
    const ProgramDir program;
    const TempDir docs;
    kavrel::test::writeFileBytes(docs.file("Test.asc"), kSource);
    const std::string argument = docs.file("Test;b");
    for (auto _ : state) {
        kavrel::platform::startProgram(program.assembler(), argument, program.path(), true);
        // The log grows with every run; keep the runs alike.
        state.PauseTiming();
        program.clearRuns();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BooJob_Baseline)->Unit(benchmark::kMillisecond)->MinTime(kavrel::bench::minTime(2.0));

void BM_BooJob(benchmark::State& state) {
    const ProgramDir program;
    const TempDir docs;
    const std::string source = docs.file("clignote.asc");
    kavrel::test::writeFileBytes(source, kSource);
    for (auto _ : state) {
        kavrel::assembly::Assemble(source, "BOO", program.path(), false);
        state.PauseTiming();
        program.clearRuns();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BooJob)->Unit(benchmark::kMillisecond)->MinTime(kavrel::bench::minTime(2.0));

// The same job as the assemble command runs it: the assembler's output read
// through a pipe for the report.
void BM_BooJobCaptured(benchmark::State& state) {
    const ProgramDir program;
    const TempDir docs;
    const std::string source = docs.file("clignote.asc");
    kavrel::test::writeFileBytes(source, kSource);
    program.control("say " + docs.file("Test.asc") + ":3: avertissement : rien\n");
    for (auto _ : state) {
        kavrel::assembly::AssemblyRun run;
        kavrel::assembly::Assemble(source, "BOO", program.path(), false, '/', &run);
        benchmark::DoNotOptimize(run.process.output.data());
        state.PauseTiming();
        program.clearRuns();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BooJobCaptured)->Unit(benchmark::kMillisecond)->MinTime(kavrel::bench::minTime(2.0));

// The job's file work alone, without the assembler: where its extra time goes.
void BM_BooFileSteps(benchmark::State& state) {
    namespace platform = kavrel::platform;
    const TempDir docs;
    const std::string source = docs.file("clignote.asc");
    kavrel::test::writeFileBytes(source, kSource);
    for (const char* ext : {".BOO", ".LST", ".S19"})
        kavrel::test::writeFileBytes(docs.file(std::string("Test") + ext), kSource);
    for (auto _ : state) {
        platform::copyFile(source, docs.file("Test.asc"));
        for (const char* ext : {".BOO", ".LST", ".S19"}) {
            const std::string output = docs.file(std::string("Test") + ext);
            benchmark::DoNotOptimize(platform::fileExists(output));
            platform::copyFile(output, docs.file(std::string("clignote") + ext));
        }
    }
}
BENCHMARK(BM_BooFileSteps)->Unit(benchmark::kMillisecond)->MinTime(kavrel::bench::minTime(2.0));

} // namespace
