// The one form of errors and warnings, written and read back; and the copy of
// the printed output that Kavrel reads on Windows.
#include "asmhc11/cli.h"
#include "asmhc11/diagnostic_format.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace asmhc11::test {
namespace {

namespace fs = std::filesystem;

TEST(DiagnosticFormat, EveryPathAndMessageComesBackAsWritten) {
    const DiagnosticKind E = DiagnosticKind::Error, W = DiagnosticKind::Warning;
    const std::vector<DiagnosticLine> cases = {
        {"/src/prog.asc", 3, E, "instruction inconnue : LDZ"},
        {"/src/prog.asc", 14, W, "« # » ignoré, la valeur qui suit est lue telle quelle : $10"},
        {"C:\\Mes programmes\\prog.asc", 12, E, "symbole non défini : BOUCLE"},
        {"C:\\Mes programmes\\prog.asc", 1, W, "w"},
        {"C:\\a:b\\c 2:3.asc", 7, E, "x"},                    // colons and digits in the path
        {"C:\\Données\\été à Noël €.asc", 999999999, W, "m"}, // non-ASCII, the largest number
        {"/home/zoë/テスト/d.inc", 2, E, "fichier inclus introuvable : x:3: erreur : y"},
        {"relatif.asc", 5, E, ""}, // an empty message
        {" blancs autour ", 6, W, " : deux points : "},
    };
    std::string output;
    for (const DiagnosticLine& d : cases) {
        const std::string line = formatDiagnostic(d);
        SCOPED_TRACE(line);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_EQ(parseDiagnostic(line), d);
        EXPECT_EQ(parseDiagnostic(line + "\r"), d);
        output += line + (output.size() % 2 ? "\r\n" : "\n") + "asmhc11 : une autre ligne\n";
    }
    EXPECT_EQ(parseDiagnostics(output), cases);
}

TEST(DiagnosticFormat, TheTextsAreTheAssemblersOwn) {
    EXPECT_EQ(formatDiagnostic({"C:\\p.asc", 12, DiagnosticKind::Error, "m"}),
              "C:\\p.asc:12: erreur : m");
    EXPECT_EQ(formatDiagnostic({"/p.asc", 4, DiagnosticKind::Warning, "m"}),
              "/p.asc:4: avertissement : m");
}

TEST(DiagnosticFormat, LinesOfAnotherFormAreNoDiagnostics) {
    const char* const lines[] = {
        "asmhc11 : 2 erreurs, 2 octets, fichiers écrits : prog.LST",
        "/src/prog.asc:x: erreur : pas un numéro",
        "/src/prog.asc:0: erreur : ligne zéro",
        "/src/prog.asc:-3: erreur : négatif",
        "/src/prog.asc:1234567890: erreur : trop de chiffres",
        "/src/prog.asc:4: erreur: sans le blanc",
        "/src/prog.asc:4: Erreur : majuscule",
        "/src/prog.asc:4 : erreur : blanc avant",
        ":5: erreur : sans fichier",
        "/src/prog.asc:4:",
        "",
    };
    for (const char* line : lines)
        EXPECT_FALSE(parseDiagnostic(line)) << line;
}

// A folder of its own in the temporary folder.
class OutputCopy : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937_64 random(static_cast<std::uint64_t>(
            std::chrono::steady_clock::now().time_since_epoch().count()));
        dir_ = fs::temp_directory_path() / ("asmhc11_copie_" + std::to_string(random()));
        fs::create_directories(dir_ / "dossier é");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static std::string readAll(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void writeAll(const fs::path& path, const std::string& data) {
        std::ofstream(path, std::ios::binary) << data;
    }
    fs::path dir_;
};

TEST_F(OutputCopy, HoldsThePrintedBytesAndNoCopyChangesNothing) {
    const fs::path source = dir_ / "dossier é" / "faux prog.asc";
    writeAll(source, "begin NOP\r\n FDB #begin\r\n LDZ\r\n");
    const fs::path copy = dir_ / "dossier é" / "sortie.txt";

    std::ostringstream printed;
    const int status = runCommandLine(pathToUtf8(source), printed, copy);
    EXPECT_EQ(status, exitAssemblyErrors);
    EXPECT_EQ(readAll(copy), printed.str());
    const auto rows = parseDiagnostics(readAll(copy));
    ASSERT_EQ(rows.size(), 2u) << printed.str();
    EXPECT_EQ(rows[0].path, pathToUtf8(source));
    EXPECT_EQ(rows[0].kind, DiagnosticKind::Warning);
    EXPECT_EQ(rows[1].line, 3);
    EXPECT_EQ(rows[1].kind, DiagnosticKind::Error);

    // Without a copy the same bytes are printed, and the copy is left alone.
    fs::remove(copy);
    std::ostringstream alone;
    EXPECT_EQ(runCommandLine(pathToUtf8(source), alone), status);
    EXPECT_EQ(alone.str(), printed.str());
    EXPECT_FALSE(fs::exists(copy));
}

TEST_F(OutputCopy, ACopyThatCannotBeWrittenIsSaidAndTheStatusStays) {
    const fs::path source = dir_ / "juste.asc";
    writeAll(source, " ORG $100\r\n NOP\r\n");
    struct Case {
        fs::path copy;
        std::string said;
    };
    const Case cases[] = {
        {dir_ / "absent" / "sortie.txt", "impossible d'écrire le fichier : "},
        {source, "impossible d'écrire le fichier : "}, // never over the source
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(pathToUtf8(c.copy));
        std::ostringstream printed;
        EXPECT_EQ(runCommandLine(pathToUtf8(source), printed, c.copy), exitOk);
        EXPECT_NE(printed.str().find("asmhc11 : " + c.said + pathToUtf8(c.copy)), std::string::npos)
            << printed.str();
        EXPECT_EQ(readAll(source), " ORG $100\r\n NOP\r\n");
        EXPECT_TRUE(fs::exists(dir_ / "juste.S19"));
    }
}

// Wide on Windows, so that a non-ASCII path reaches the child whole.
void setVariable(const fs::path& value) {
#ifdef _WIN32
    const std::string name = kOutputCopyVariable;
    _wputenv_s(std::wstring(name.begin(), name.end()).c_str(), value.c_str());
#else
    if (value.empty())
        ::unsetenv(kOutputCopyVariable);
    else
        ::setenv(kOutputCopyVariable, value.c_str(), 1);
#endif
}

// The program started as Kavrel starts it reads the variable it inherits.
TEST_F(OutputCopy, TheProgramWritesTheFileItsVariableNames) {
    // The command line goes through the ANSI code page on Windows: an ASCII
    // source there; the copy's path is non-ASCII.
    const fs::path source = dir_ / "prog.asc";
    writeAll(source, " ORG $100\r\n LDZ\r\n");
    const fs::path copy = dir_ / "dossier é" / "copie.txt";
    setVariable(copy);
    std::string command =
        std::string("\"") + ASMHC11_EXECUTABLE + "\" \"" + pathToUtf8(source) + "\"";
#ifdef _WIN32
    FILE* pipe = _popen(("\"" + command + "\"").c_str(), "rb");
#else
    FILE* pipe = popen(command.c_str(), "r");
#endif
    setVariable({});
    ASSERT_NE(pipe, nullptr);
    std::string printed;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        printed.append(buffer, n);
#ifdef _WIN32
    _pclose(pipe);
#else
    pclose(pipe);
#endif
    // The same lines; a Windows console gets CR LF where the copy keeps LF.
    std::erase(printed, '\r');
    EXPECT_EQ(readAll(copy), printed);
    EXPECT_EQ(parseDiagnostics(readAll(copy)),
              (std::vector<DiagnosticLine>{
                  {pathToUtf8(source), 2, DiagnosticKind::Error, "instruction inconnue : LDZ"}}));
}

TEST(OutputCopyHelp, TheHelpFileNamesTheVariable) {
    std::ifstream in(ASMHC11_HELP_FILE, std::ios::binary);
    const std::string help((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(help.find(kOutputCopyVariable), std::string::npos);
}

} // namespace
} // namespace asmhc11::test
