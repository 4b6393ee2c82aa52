// Whole programs: a real monitor from outside the project, and the messages
// of a run as the command line prints them.
#include "asm_support.h"
#include "asmhc11/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace asmhc11::test {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RealPrograms, BuffaloMonitorAssemblesIntoItsRom) {
    const fs::path path = fs::path(KAVREL_TESTDATA_DIR) / "buffalo-34.asm";
    if (!fs::is_regular_file(path))
        GTEST_SKIP() << "absent : " << path.string();
    Options options;
    options.path = pathToUtf8(path);
    const Result result = assembleSource(readAll(path), options);
    ASSERT_TRUE(result.ok()) << errorsOf(result).substr(0, 2000);
    EXPECT_TRUE(result.warnings.empty());
    // The ROM fills $E000-$FFFF; its reset vector leads to its first byte.
    for (std::size_t a = 0x100; a < 0xE000; ++a)
        ASSERT_FALSE(result.used[a]) << "octet hors de la ROM à " << a;
    EXPECT_TRUE(result.used[0xE000]);
    EXPECT_EQ(result.memory[0xFFFE] << 8 | result.memory[0xFFFF], 0xE000);
    EXPECT_GT(result.byteCount, 7000u);
}

using ErrorForm = asmhc11::test::SourceFolder;

// One line per message in source order, "<file>:<line>: erreur : ...", the
// file being the one that holds the line; then the summary.
TEST_F(ErrorForm, EveryMessageOnItsOwnLineThenTheSummary) {
    write(dir_ / "prog.asm", "begin NOP\r\n INCLUDE \"inc/defs.inc\"\r\n FDB #begin\r\n LDZ\r\n");
    write(dir_ / "inc" / "defs.inc", " NOP\n LDAA RIEN\n");
    std::ostringstream out;
    const std::string source = pathToUtf8(dir_ / "prog.asm");
    EXPECT_EQ(runCommandLine(source, out), exitAssemblyErrors);
    const std::string included = pathToUtf8(dir_ / "inc" / "defs.inc");
    EXPECT_EQ(out.str(),
              included + ":2: erreur : symbole non défini : RIEN\n" + source +
                  ":3: avertissement : « # » ignoré, la valeur qui suit est lue telle quelle : "
                  "#begin\n" +
                  source + ":4: erreur : instruction inconnue : LDZ\n" +
                  "asmhc11 : 2 erreurs, 4 octets, fichiers écrits : prog.LST\n");
}

TEST_F(ErrorForm, AllErrorsArePrinted) {
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += " LDZ\n";
    write(dir_ / "many.asm", text);
    std::ostringstream out;
    runCommandLine(pathToUtf8(dir_ / "many.asm"), out);
    const std::string printed = out.str();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 51);
    EXPECT_NE(printed.find("many.asm:50: erreur : "), std::string::npos);
}

} // namespace
} // namespace asmhc11::test
