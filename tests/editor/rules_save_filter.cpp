#include <gtest/gtest.h>

#include <string>

#include "editor/save_filter.h"

using namespace kavrel::editor;

TEST(SaveFilter, ChosenFromTheWholeCaption) {
    struct Case {
        std::string caption, filter;
    };
    const Case cases[] = {
        {"c:\\txt\\prog.asc", kFilterTxt}, // folder TXT beats extension ASC
        {"D:\\notes.doc", ""},
        {"c:\\x\\prog.asc", kFilterAsc},
        {"C:\\SRC\\PROG.ASC", kFilterAsc},
        {"/home/léa/prog.lst", kFilterLst},
        {"/home/lst/prog.asc", kFilterLst}, // LST beats ASC
        {"/home/LsT/notes.TxT", kFilterTxt},
        {"/tmp/basculer.doc", kFilterAsc}, // anywhere, not only the extension
        {"", ""},
        {"/tmp/a.as", ""},
        {"/tmp/a.ascii/b", kFilterAsc},
        // Accented letters are not upper-cased into a false match.
        {"/tmp/ésc/ltxé", ""},
        {"/tmp/\xC3\xA1sc", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(saveFilterFor(c.caption), c.filter) << c.caption;
}

TEST(SaveFilter, QtFilterNamesEachPattern) {
    struct Case {
        std::string list, qt;
    };
    const Case cases[] = {
        {"", ""},
        {kFilterAsc, "Fichiers assembleur  (*.asc)"},
        {kFilterLst, "Fichiers listing  (*.lst)"},
        {kFilterTxt, "Fichiers texte  (*.txt)"},
        {kFilterAll,
         "Fichiers texte  (*.txt);;Fichiers listing  (*.lst);;Fichiers assembleur  (*.asc)"},
        {"Sources|*.asc", "Sources (*.asc)"},
        {"Sources|*.asc;*.s", "Sources (*.asc *.s)"},
        {"Sources (*.asc;*.s)|*.asc;*.s", "Sources (*.asc *.s)"},
        {"Tout", "Tout (*)"}, // a description left without a pattern
        {"Sources|*.asc|Tout", "Sources (*.asc);;Tout (*)"},
        {"Tout|", "Tout (*)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toQtFilter(c.list), c.qt) << c.list;
}
