// The main road with the real assembler: a new program typed, saved, and
// assembled to S19 and to BOO from the menus.
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <string>
#include <vector>

#include "fakes/ui_fixture.h"

using namespace kavrel;
using namespace kavrel::test;

namespace {

const char* const kProgram[] = {
    "* Clignotant sur le port B",       "        ORG     $0100", "DEBUT   LDAA    #$55",
    "        STAA    $1004   ; port B", "        BRA     DEBUT", "        END     DEBUT",
};
// $0100: 86 55 (LDAA #), B7 10 04 (STAA étendu), 20 F9 (BRA -7).
const std::vector<unsigned> kCode = {0x86, 0x55, 0xB7, 0x10, 0x04, 0x20, 0xF9};

unsigned hexByte(const std::string& text, std::size_t at) {
    return static_cast<unsigned>(std::stoul(text.substr(at, 2), nullptr, 16));
}

std::vector<std::string> recordsOf(const std::string& s19) {
    std::vector<std::string> records;
    std::size_t start = 0;
    while (start < s19.size()) {
        std::size_t end = s19.find("\r\n", start);
        if (end == std::string::npos)
            end = s19.size();
        if (end > start)
            records.push_back(s19.substr(start, end - start));
        start = end + 2;
    }
    return records;
}

// Every record's count and checksum agree with its bytes.
void expectWellFormed(const std::string& s19) {
    for (const std::string& record : recordsOf(s19)) {
        SCOPED_TRACE(record);
        ASSERT_GE(record.size(), 10u);
        ASSERT_EQ(record[0], 'S');
        const unsigned count = hexByte(record, 2);
        ASSERT_EQ(record.size(), 4 + 2 * count);
        unsigned sum = 0;
        for (unsigned i = 0; i < count; ++i)
            sum += hexByte(record, 2 + 2 * i);
        EXPECT_EQ((~sum) & 0xFF, hexByte(record, record.size() - 2));
    }
}

class Road : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(QFile::copy(QStringLiteral(KAVREL_BUILT_ASSEMBLER),
                                programDir.filePath(QStringLiteral("asmhc11"))));
    }

    // New, the program typed line by line, Enregistrer: returns the source path.
    QString writeNewProgram() {
        trigger("New");
        for (const char* line : kProgram) {
            type(QString::fromUtf8(line));
            QTest::keyClick(active()->texte(), Qt::Key_Return);
        }
        trigger("Record");
        EXPECT_FALSE(active()->Text_Changed());
        return active()->caption();
    }

    static QString sibling(const QString& source, const QString& extension) {
        const QFileInfo info(source);
        return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + extension;
    }

    void expectNoBox() {
        for (const ShownBox& box : boxes->shown)
            ADD_FAILURE() << box.title.toStdString() << " " << box.text.toStdString();
    }
};

TEST_F(Road, AssembleToS19WritesTheRecordsBesideTheSource) {
    const QString source = writeNewProgram();
    std::string saved;
    for (const char* line : kProgram)
        saved += std::string(line) + "\r\n";
    EXPECT_EQ(readBytes(source), saved + "\r\n");

    trigger("AssembleToS19");
    expectNoBox();

    const std::string s19 = readBytes(sibling(source, QStringLiteral(".S19")));
    ASSERT_NE(s19, "<missing>");
    expectWellFormed(s19);
    const std::vector<std::string> records = recordsOf(s19);
    ASSERT_EQ(records.size(), 2u) << s19;
    EXPECT_EQ(records[0], "S10A01008655B7100420F935");
    EXPECT_EQ(records[1], "S9030100FB");
    EXPECT_NE(readBytes(sibling(source, QStringLiteral(".LST"))), "<missing>");
}

TEST_F(Road, AssembleToBooWritesTheThreeOutputsUnderTheSourceName) {
    const QString source = writeNewProgram();
    // A modified program is offered for saving first; Yes writes it.
    type(QStringLiteral("* fin"));
    boxes->answers = {app::BoxAnswer::Yes};

    trigger("AssembleToBOO");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Enregistrement des données..."));
    boxes->shown.clear();
    expectNoBox();
    EXPECT_FALSE(active()->Text_Changed());

    const std::string boo = readBytes(sibling(source, QStringLiteral(".BOO")));
    ASSERT_NE(boo, "<missing>");
    ASSERT_GE(boo.size(), 1u + 0x100 + kCode.size());
    EXPECT_EQ(static_cast<unsigned char>(boo[0]), 0xFF);
    for (std::size_t i = 0; i < kCode.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(boo[1 + 0x100 + i]), kCode[i]) << i;

    const std::string s19 = readBytes(sibling(source, QStringLiteral(".S19")));
    expectWellFormed(s19);
    EXPECT_EQ(recordsOf(s19).front(), "S10A01008655B7100420F935");
    const std::string listing = readBytes(sibling(source, QStringLiteral(".LST")));
    EXPECT_NE(listing.find("DEBUT"), std::string::npos);

    // The outputs are copies of what the assembler wrote for the staged source.
    const QString folder = QFileInfo(source).absolutePath() + QLatin1Char('/');
    EXPECT_EQ(readBytes(folder + QStringLiteral("Test.asc")), readBytes(source));
    EXPECT_EQ(readBytes(folder + QStringLiteral("Test.BOO")), boo);
}

TEST_F(Road, ShippedHelpFilesOpenWhole) {
    for (const char* name : {"Kavrel.hlp", "asmhc11.hlp"}) {
        SCOPED_TRACE(name);
        const QString shipped = QStringLiteral(KAVREL_BUILT_PROGRAM_DIR "/") + QLatin1String(name);
        ASSERT_TRUE(QFile::copy(shipped, programDir.filePath(QLatin1String(name))));
    }
    trigger("Help_Kavrel");
    expectNoBox();
    const std::string help = text(active());
    for (const char* caption : {"Nouveau programme",
                                "Ouvrir programme...",
                                "Ouvrir...",
                                "Enregistrer",
                                "Enregistrer sous...",
                                "Quitter",
                                "Copier",
                                "Couper",
                                "Coller",
                                "Mode Batch",
                                "Mode normal",
                                "Assembler -> S19",
                                "Assembler -> .BOO",
                                "Aide Kavrel",
                                "Aide ASMHC11",
                                "Fenêtre",
                                "60 000 octets",
                                "LANCEUR.sh",
                                "Test.asc",
                                "~/Prog_<n>.asc"})
        EXPECT_NE(help.find(caption), std::string::npos) << caption;
    // Windows-1252 decoded, line ends kept.
    EXPECT_NE(help.find("RÉPERTOIRE DU PROGRAMME\r\n"), std::string::npos);

    trigger("Help_asmhc11");
    expectNoBox();
    EXPECT_FALSE(text(active()).empty());
    EXPECT_EQ(principal->editors().size(), 2);
}

} // namespace
