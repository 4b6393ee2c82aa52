// sim11 --board and --show, started as a real process.
#include "sim11_run.h"
#include "sim_support.h"

namespace {

namespace fs = std::filesystem;

using lab::test::Outcome;

class BoardCli : public lab::test::Sim11Run {
protected:
    std::string s19(const std::string& name, const std::string& source) {
        const asmhc11::Result result = asmhc11::assembleSource(source, asmhc11::Mode::S19);
        EXPECT_TRUE(result.ok());
        return file(name, result.s19);
    }
};

// Writes "BONJOUR" on the TP board's LCD, then "!" after about 30 ms, and
// waits there.
const char* greeting = R"( ORG $2000
START LDS #$01FF
 LDX #$B5F0
 LDAA #$38
 BSR CMD
 LDAA #$0C
 BSR CMD
 LDAA #$01
 BSR CMD
 LDY #TXT
NEXT LDAA 0,Y
 BEQ LATER
 BSR DATA
 INY
 BRA NEXT
LATER LDY #10000
L DEY
 BNE L
 LDAA #'!
 BSR DATA
HERE BRA HERE
DATA BRSET 0,X,#$80,DATA
 STAA 1,X
 RTS
CMD BRSET 0,X,#$80,CMD
 STAA 0,X
 RTS
TXT FCC 'BONJOUR'
 FCB 0
 ORG $FFFE
 FDB START
)";

TEST_F(BoardCli, ShowPrintsTheLcdEachTimeItChanges) {
    const std::string program = s19("p.s19", greeting);
    const Outcome run = sim("--board tp --show --cycles 200000 " + program);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string first = "LCD : « BONJOUR          » «                  »\n";
    const std::string then = "LCD : « BONJOUR!         » «                  »\n";
    const std::size_t at = run.err.find(first);
    ASSERT_NE(at, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(then), at + first.size()) << run.err;
    // Once the text stands, nothing more is printed, even at the end.
    EXPECT_EQ(run.err.size(), at + first.size() + then.size()) << run.err;

    // Without --show the board stays silent.
    EXPECT_EQ(sim("--board tp --cycles 200000 " + program).err, "");
}

TEST_F(BoardCli, TheBoardsChipAndModeApplyUnlessTheCommandLineSaysOtherwise) {
    const std::string program =
        s19("p.s19", " ORG $2000\nS LDAA #$5A\n STOP\n ORG $FFFE\n FDB S\n");
    // The single-chip board has nothing at $2000...
    Outcome run = sim("--board monopuce " + program);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("l'adresse $2000 n'est pas dans la mémoire du E9"), std::string::npos)
        << run.err;
    // ...unless the command line wants the expanded mode.
    run = sim("--board monopuce --mode expanded --regs " + program);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.substr(0, 5), "A=5A ") << run.err;
    // The TP board is an E9 in expanded mode, its RAM at $2000.
    run = sim("--board tp --regs " + program);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.substr(0, 5), "A=5A ") << run.err;
}

TEST_F(BoardCli, ABadBoardFileIsToldWithItsLineAndStatus2) {
    const std::string program = s19("p.s19", " ORG $E000\n STOP\n");
    const struct {
        std::string board;
        std::string message;
    } cases[] = {
        {file("carte.toml", "nom = \"Essai\"\n\n[[led]]\nbroche = \"PF3\"\n"),
         "carte.toml : ligne 4 : broche inconnue « PF3 »"},
        {file("syntaxe.toml", "nom = \"Essai\n"), "syntaxe.toml : ligne 1 : syntaxe TOML invalide"},
        {"\"" + (dir_ / "absente.toml").string() + "\"", "absente.toml : fichier illisible"},
        {"tp2", "carte inconnue « tp2 » (chip, evb, monopuce, tp, ou le chemin"},
    };
    for (const auto& c : cases) {
        const Outcome run = sim("--board " + c.board + " " + program);
        EXPECT_EQ(run.status, 2) << c.board;
        EXPECT_EQ(run.err.rfind("sim11 : ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // A good one is taken from its path, its chip with it.
    const std::string a1 = file("a1.toml", "nom = \"A1\"\ncircuit = \"A1\"\n");
    EXPECT_NE(sim("--board " + a1 + " " + program).err.find("mémoire du A1"), std::string::npos);
}

} // namespace
