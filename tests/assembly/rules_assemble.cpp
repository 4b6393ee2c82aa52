#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "assembly/assemble.h"
#include "assembly/assembly_texts.h"
#include "fakes/program_dir.h"
#include "platform/failure.h"
#include "platform/files.h"

namespace kavrel::assembly {
namespace {

#ifndef _WIN32
using test::exists;
using test::ProgramDir;
using test::readFileBytes;
using test::steadyNowMs;
using test::TempDir;
using test::writeFileBytes;

const std::string kSource = "; clignote\r\n\tORG $1000\r\n\tLDAA #$55\r\n";

std::string physical(const std::string& path) {
    return test::u8String(std::filesystem::canonical(test::u8Path(path)));
}

class AssembleTest : public ::testing::Test {
protected:
    ProgramDir program{"ASM é"};
    TempDir docs{"mes sources"};

    std::string source(const std::string& name, const std::string& text = kSource) {
        const std::string path = docs.file(name);
        writeFileBytes(path, text);
        return path;
    }
    std::string doc(const std::string& name) const { return docs.file(name); }

    // Runs the job and returns the Failure it ends with (operation empty if none).
    Failure failureOf(const std::string& path, const std::string& target, bool batch = false) {
        try {
            Assemble(path, target, program.path(), batch);
        } catch (const Failure& failure) {
            return failure;
        }
        return Failure("", "", "");
    }
};

TEST_F(AssembleTest, S19DirectRunsTheAssemblerOnTheSourceWhereItLies) {
    const std::string path = source("clignote.asc");
    Assemble(path, "S19", program.path(), false);
    const auto runs = program.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args, (std::vector<std::string>{program.assembler(), path}));
    EXPECT_EQ(runs[0].cwd, physical(program.path()));
    EXPECT_FALSE(exists(doc("Test.asc")));
}

TEST_F(AssembleTest, S19InBatchModeStartsTheLauncherOnly) {
    const std::string path = source("clignote.asc");
    program.launcherSleep(0);
    Assemble(path, "S19", program.path(), true);
    const auto log = program.waitForLauncherLines(4);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], program.path());
    EXPECT_EQ(log[1], path);
    EXPECT_FALSE(exists(program.file("fake_asmhc11.log")));
}

TEST_F(AssembleTest, BooStagesAssemblesAndCopiesTheOutputsBack) {
    const std::string path = source("clignote.asc");
    for (const char* name : {"clignote.BOO", "clignote.LST", "clignote.S19"})
        writeFileBytes(doc(name), "ancien"); // replaced
    Assemble(path, "BOO", program.path(), false);

    const auto runs = program.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args, (std::vector<std::string>{program.assembler(), doc("Test;b")}));
    EXPECT_EQ(runs[0].cwd, physical(program.path()));
    EXPECT_EQ(readFileBytes(doc("Test.asc")), kSource);
    for (const char* ext : {"BOO", "LST", "S19"}) {
        EXPECT_EQ(readFileBytes(doc("clignote." + std::string(ext))), ext + ("\n" + kSource));
        EXPECT_TRUE(exists(doc("Test." + std::string(ext))));
    }
}

TEST_F(AssembleTest, BooInBatchModeStillStartsDirectlyAndWaits) {
    const std::string path = source("clignote.asc");
    program.control("sleep 300\n");
    Assemble(path, "BOO", program.path(), true);
    const long long returned = steadyNowMs();
    const auto runs = program.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args[1], doc("Test;b"));
    EXPECT_LE(runs[0].endMs, returned);
    EXPECT_TRUE(program.launcherLog().empty());
    EXPECT_TRUE(exists(doc("clignote.S19")));
}

TEST_F(AssembleTest, OutputsTheAssemblerDidNotWriteAreNeverTakenFromAnEarlierRun) {
    const std::string path = source("clignote.asc");
    writeFileBytes(doc("Test.S19"), "S19 d'un autre source");
    program.control("skip S19\n");

    const Failure failure = failureOf(path, "BOO");
    EXPECT_EQ(failure.operation(), kOpAssembleBoo);
    EXPECT_EQ(failure.path(), doc("Test.S19"));
    EXPECT_EQ(failure.reason(), kReasonOutputMissing);
    // The copies made before the missing output stay.
    EXPECT_TRUE(exists(doc("clignote.BOO")));
    EXPECT_TRUE(exists(doc("clignote.LST")));
    EXPECT_FALSE(exists(doc("clignote.S19")));
    EXPECT_FALSE(exists(doc("Test.S19")));

    // An assembler that writes nothing: the first output is named, nothing copied.
    const std::string other = source("autre.asc");
    program.control("write\n");
    EXPECT_EQ(failureOf(other, "BOO").path(), doc("Test.BOO"));
    EXPECT_FALSE(exists(doc("autre.BOO")));
}

TEST_F(AssembleTest, FailuresBeforeTheAssemblerLeaveTheFolderAlone) {
    const struct {
        std::string path;
        std::string operation;
    } cases[] = {
        {doc("abc"), kOpSplitPath},                            // name too short
        {doc("jamais enregistré.asc"), platform::kOpCopyFile}, // source missing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureOf(c.path, "BOO").operation(), c.operation) << c.path;
        EXPECT_FALSE(exists(doc("Test.asc")));
        EXPECT_FALSE(exists(program.file("fake_asmhc11.log")));
    }
}

TEST_F(AssembleTest, FailedDirectStartCopiesNothingBack) {
    const std::string path = source("clignote.asc");
    writeFileBytes(doc("Test.BOO"), "ancien");
    platform::removeFileIfPresent(program.assembler());
    const Failure failure = failureOf(path, "BOO");
    EXPECT_EQ(failure.path(), program.assembler());
    EXPECT_FALSE(exists(doc("clignote.BOO")));
    EXPECT_FALSE(exists(doc("Test.BOO")));
    EXPECT_EQ(failureOf(path, "S19").path(), program.assembler());
}

TEST_F(AssembleTest, OtherTargetsDoNothing) {
    const std::string path = source("clignote.asc");
    for (const char* target : {"s19", "boo", "", "S19 ", "BOO;b", "LST"})
        Assemble(path, target, program.path(), true);
    EXPECT_FALSE(exists(program.file("fake_asmhc11.log")));
    EXPECT_TRUE(program.launcherLog().empty());
    EXPECT_FALSE(exists(doc("Test.asc")));
}

TEST_F(AssembleTest, BaseNamesKeepWhateverTheyHold) {
    const struct {
        const char* source;
        const char* base;
    } cases[] = {
        {"a b;&'\"$(touch injected)`id`.asc", "a b;&'\"$(touch injected)`id`"},
        {"été à Noël.asc", "été à Noël"},
        {"essai.text", "essai."},
        {"programme", "progr"},
        {".asc", ""},
        {"Test.asc", "Test"}, // staged onto itself, copied back onto themselves
    };
    for (const auto& c : cases) {
        const std::string text = kSource + c.source;
        const std::string path = source(c.source, text);
        Assemble(path, "BOO", program.path(), false);
        for (const char* ext : {"BOO", "LST", "S19"})
            EXPECT_EQ(readFileBytes(doc(std::string(c.base) + "." + ext)), ext + ("\n" + text))
                << c.source;
    }
    EXPECT_FALSE(exists(doc("injected")));
    EXPECT_FALSE(exists(program.file("injected")));
}

TEST_F(AssembleTest, SourceBearingAnOutputNameIsNotDeleted) {
    const std::string path = source("Test.S19", "mon source");
    const Failure failure = failureOf(path, "BOO");
    EXPECT_EQ(failure.reason(), kReasonSourceIsOutput);
    EXPECT_EQ(readFileBytes(path), "mon source");
    EXPECT_FALSE(exists(program.file("fake_asmhc11.log")));
}

TEST_F(AssembleTest, TwoSourcesInOneFolderShareTheStagedFiles) {
    const std::string first = source("un.asc", "premier");
    const std::string second = source("deux.asc", "second");
    Assemble(first, "BOO", program.path(), false);
    Assemble(second, "BOO", program.path(), false);
    EXPECT_EQ(readFileBytes(doc("un.LST")), "LST\npremier");
    EXPECT_EQ(readFileBytes(doc("deux.LST")), "LST\nsecond");
    EXPECT_EQ(readFileBytes(doc("Test.asc")), "second");
}
#endif

} // namespace
} // namespace kavrel::assembly
