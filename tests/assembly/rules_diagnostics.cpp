// What the assembler printed, read back: the report's rows and its verdict;
// and the direct start that captures it.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "asmhc11/diagnostic_format.h"

#include "assembly/assemble.h"
#include "assembly/diagnostics.h"
#include "assembly/launcher.h"
#include "fakes/program_dir.h"
#include "platform/code_page.h"
#include "platform/failure.h"

namespace kavrel::assembly {
namespace {

TEST(Diagnostics, RowsAreTheLinesInTheEditorsForm) {
    const std::string output = "/src/prog.asc:3: erreur : instruction inconnue : LDZ\n"
                               "C:\\Mes sources\\a:b.asc:12: avertissement : « # » ignoré\r\n"
                               "/src/inc/defs.inc:7: erreur : voir /x.asc:9: erreur : ailleurs\n"
                               "asmhc11 : 2 erreurs, 2 octets, fichiers écrits : prog.LST\n"
                               "/src/prog.asc:x: erreur : pas un numéro\n"
                               "/src/prog.asc:0: erreur : ligne zéro\n"
                               "/src/prog.asc:4: erreur: sans le blanc\n"
                               ":5: erreur : sans fichier\n"
                               "/src/last.asc:1234: erreur : sans fin de ligne";
    struct Row {
        std::string path;
        int line;
        bool error;
    };
    const std::vector<Row> want = {
        {"/src/prog.asc", 3, true},
        {"C:\\Mes sources\\a:b.asc", 12, false},
        {"/src/inc/defs.inc", 7, true},
        {"/src/last.asc", 1234, true},
    };
    const auto rows = parseDiagnostics(output);
    ASSERT_EQ(rows.size(), want.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].text);
        EXPECT_EQ(rows[i].path, want[i].path);
        EXPECT_EQ(rows[i].line, want[i].line);
        EXPECT_EQ(rows[i].error, want[i].error);
        EXPECT_EQ(rows[i].text.find('\r'), std::string::npos);
        EXPECT_TRUE(rows[i].text.starts_with(want[i].path + ":"));
    }
    EXPECT_EQ(rows[0].text, "/src/prog.asc:3: erreur : instruction inconnue : LDZ");
}

TEST(Diagnostics, AStagedCopyIsNamedAfterTheSource) {
    const auto rows = parseDiagnostics("/src/Test.asc:4: erreur : symbole non défini : X\n");
    ASSERT_EQ(rows.size(), 1u);
    const Diagnostic row = renamed(rows[0], "/src/mon prog.asc");
    EXPECT_EQ(row.path, "/src/mon prog.asc");
    EXPECT_EQ(row.line, 4);
    EXPECT_EQ(row.text, "/src/mon prog.asc:4: erreur : symbole non défini : X");
}

TEST(Diagnostics, VerdictFromHowTheAssemblerEnded) {
    struct Case {
        platform::ProcessRun run;
        int errors;
        std::string verdict;
    };
    const auto exited = [](int code) {
        platform::ProcessRun run;
        run.exited = true;
        run.exitCode = code;
        return run;
    };
    platform::ProcessRun killed;
    killed.signal = 9;
    const std::vector<Case> cases = {
        {exited(0), 0, "Assemblage réussi : 0 erreur"},
        {exited(1), 1, "Assemblage terminé avec 1 erreur"},
        {exited(1), 2, "Assemblage terminé avec 2 erreurs"},
        {exited(1), 0, "asmhc11 a terminé avec le code 1"},
        {exited(2), 0, "asmhc11 a terminé avec le code 2"},
        {killed, 0, "asmhc11 a été arrêté par le signal 9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(verdictOf(c.run, c.errors), c.verdict);
}

// Where a direct start does not hand us what the assembler prints (Windows),
// the assembler's copy comes back instead; the same on every system here.
class OutputCopy : public ::testing::Test {
protected:
    // Our temporary folders go into one the test watches.
    void SetUp() override {
        for (const char* name : kTemporaryVariables)
            before_.push_back(platform::setEnvironmentVariable(name, temporary_.path()));
        platform::setEnvironmentVariable(asmhc11::kOutputCopyVariable, "avant");
    }
    void TearDown() override {
        for (std::size_t i = 0; i < before_.size(); ++i)
            platform::setEnvironmentVariable(kTemporaryVariables[i], before_[i]);
        platform::setEnvironmentVariable(asmhc11::kOutputCopyVariable, std::nullopt);
    }
    bool temporaryIsEmpty() const {
        return std::filesystem::is_empty(test::u8Path(temporary_.path()));
    }
    static constexpr const char* kTemporaryVariables[] = {"TMPDIR", "TMP", "TEMP"};
    const test::TempDir temporary_{"temporaire é"};
    std::vector<std::optional<std::string>> before_;
    const test::ProgramDir dir_{"programme copié"};
};

TEST_F(OutputCopy, WhatTheAssemblerCopiedIsTheRunsOutput) {
    const std::string diagnostic = "C:\\Mes programmes\\été.asc:2: erreur : fin";
    std::string tenLines;
    for (int i = 0; i < 10; ++i)
        tenLines += std::string(63, 'x') + "\n";
    const std::string logVariable = std::string("env ") + asmhc11::kOutputCopyVariable + "\n";
    struct Case {
        std::string control;
        bool captured;
        std::string output;
        int exitCode;
        std::size_t rows;
    };
    const Case cases[] = {
        {"say " + diagnostic + "\nexit 1\n", true, diagnostic + "\n", 1, 1},
        {"print 640\n", true, tenLines, 0, 0},
        {"say perdu\nnocopy\nexit 2\n", false, "", 2, 0}, // an assembler without the copy
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        dir_.clearRuns();
        dir_.control(c.control + logVariable);
        platform::ProcessRun run;
        run.output = "reste d'avant";
        startWithOutputCopy(dir_.assembler(), "prog.asc", dir_.path(), run);
        EXPECT_EQ(run.captured, c.captured);
        EXPECT_EQ(run.output, c.output);
        EXPECT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(parseDiagnostics(run.output).size(), c.rows);

        // The child had a file of a folder of ours in the temporary folder; we
        // have our variable back, and that folder is gone.
        const auto runs = dir_.runs();
        ASSERT_EQ(runs.size(), 1u);
        ASSERT_EQ(runs[0].env.size(), 1u);
#ifdef _WIN32
        const std::string temporary = platform::encodeAnsi(temporary_.path()); // as getenv gives it
#else
        const std::string temporary = temporary_.path();
#endif
        EXPECT_TRUE(runs[0].env[0].second.starts_with(temporary)) << runs[0].env[0].second;
        EXPECT_EQ(platform::setEnvironmentVariable(asmhc11::kOutputCopyVariable, "avant"), "avant");
        EXPECT_TRUE(temporaryIsEmpty());
    }
}

TEST_F(OutputCopy, AStartThatFailsLeavesNothingBehind) {
    platform::ProcessRun run;
    EXPECT_THROW(startWithOutputCopy(dir_.file("absent"), "prog.asc", dir_.path(), run), Failure);
    EXPECT_EQ(platform::setEnvironmentVariable(asmhc11::kOutputCopyVariable, "avant"), "avant");
    EXPECT_TRUE(temporaryIsEmpty());
    EXPECT_FALSE(run.captured);
}

#ifndef _WIN32
// The direct start reads what the assembler prints while it runs: a long
// output cannot block it, and its argument and folder stay as they were.
TEST(CapturedStart, ReadsAllTheOutputWhileTheAssemblerRuns) {
    const test::ProgramDir dir("programme capturé");
    dir.control("print 1048576\nsay /src/a.asc:2: erreur : fin\nexit 1\n");
    platform::ProcessRun run;
    LaunchAssembler(dir.assembler(), "/src/a b.asc", dir.path(), true, false, &run);
    EXPECT_TRUE(run.captured);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output.size(), 1048576u + std::string("/src/a.asc:2: erreur : fin\n").size());
    EXPECT_TRUE(run.output.ends_with("/src/a.asc:2: erreur : fin\n"));
    const auto runs = dir.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args, (std::vector<std::string>{dir.assembler(), "/src/a b.asc"}));
}

TEST(CapturedStart, TheAssemblyJobRecordsItsRunBeforeALaterStepFails) {
    const test::ProgramDir dir;
    const test::TempDir docs;
    const std::string source = docs.file("prog.asc");
    test::writeFileBytes(source, "x\r\n");
    dir.control("say " + docs.file("Test.asc") + ":1: erreur : non\nexit 1\nskip BOO\n");
    AssemblyRun run;
    EXPECT_THROW(Assemble(source, "BOO", dir.path(), false, '/', &run), Failure);
    EXPECT_TRUE(run.ran);
    EXPECT_EQ(run.stagedPath, docs.file("Test.asc"));
    EXPECT_EQ(run.command, dir.assembler() + " " + docs.file("Test") + ";b");
    EXPECT_EQ(run.process.exitCode, 1);
    EXPECT_EQ(parseDiagnostics(run.process.output).size(), 1u);

    // The batch mode runs in the launcher's terminal: nothing to report.
    AssemblyRun batch;
    Assemble(source, "S19", dir.path(), true, '/', &batch);
    EXPECT_FALSE(batch.ran);
}
#endif

} // namespace
} // namespace kavrel::assembly
