#include <gtest/gtest.h>

#include "platform/cmd_line.h"

namespace kavrel::platform {
namespace {

TEST(CmdLine, EscapeForCmd) {
    const struct {
        const char* text;
        const char* escaped;
    } cases[] = {
        {"C:\\src\\prog.asc", "C:\\src\\prog.asc"},
        {"C:\\mes sources\\a;b,c=d.asc",
         "C:\\mes sources\\a;b,c=d.asc"}, // separators, not commands
        {"a&calc.asc", "a^&calc.asc"},
        {"a|b", "a^|b"},
        {"a>b<c", "a^>b^<c"},
        {"(x)", "^(x^)"},
        {"50^", "50^^"},
        {"%PATH%", "^%PATH^%"},
        {"wow!", "wow^!"},
        {"\"&calc\"", "^\"^&calc^\""}, // a quote must not switch the escaping off
        {"&&||^^", "^&^&^|^|^^^^"},
        {"été €", "été €"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(escapeForCmd(c.text), c.escaped) << c.text;
}

TEST(CmdLine, QuoteForCmd) {
    EXPECT_EQ(quoteForCmd("C:\\ASM"), "\"C:\\ASM\"");
    EXPECT_EQ(quoteForCmd("C:\\Program Files (x86)\\A&B"), "\"C:\\Program Files (x86)\\A&B\"");
    EXPECT_EQ(quoteForCmd("C:\\50%\\x%y"), "\"C:\\50\"^%\"\\x\"^%\"y\"");
}

TEST(CmdLine, LauncherCommand) {
    EXPECT_EQ(launcherCommand("C:\\ASM", "LANCEUR.BAT", "C:\\src\\prog.asc"),
              "\"C:\\ASM\\LANCEUR.BAT\" \"C:\\ASM\" C:\\src\\prog.asc");
    EXPECT_EQ(launcherCommand("C:\\Mes outils", "LANCEUR.BAT", "C:\\a & b\\x.asc"),
              "\"C:\\Mes outils\\LANCEUR.BAT\" \"C:\\Mes outils\" C:\\a ^& b\\x.asc");
    EXPECT_EQ(interpreterParameters("\"C:\\A\\L.BAT\" \"C:\\A\" x"),
              "/d /v:off /s /c \"\"C:\\A\\L.BAT\" \"C:\\A\" x\"");
}

} // namespace
} // namespace kavrel::platform
