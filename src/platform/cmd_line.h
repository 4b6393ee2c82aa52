#pragma once

#include <string>
#include <string_view>

// Command texts for the Windows command interpreter (cmd.exe). Pure text
// functions, built everywhere so that they are tested everywhere.
namespace kavrel::platform {

// `text` with a caret before every character that cmd.exe acts on outside
// quotes (& | < > ( ) ^ % ! "), so that it reads back as the text itself and
// can start no other command. A caret before '%' works too: each variable name
// cmd could see then ends with a caret, and no variable bears such a name.
std::string escapeForCmd(std::string_view text);

// `path` between double quotes. cmd.exe expands %...% even inside quotes, so
// each '%' is taken out of them and escaped: C:\50%\x gives "C:\50"^%"\x".
std::string quoteForCmd(std::string_view path);

// The batch command for the launcher of `dir` (no trailing separator):
// "<dir>\<launcher>" "<dir>" <argument escaped>. The launcher's own path is
// quoted too, so a program directory with blanks still names it.
std::string launcherCommand(std::string_view dir, std::string_view launcher,
                            std::string_view argument);

// The parameters of the command interpreter that run `command` as it stands:
// no AutoRun commands, no delayed expansion, and /s so that only the outer
// pair of quotes is taken away.
std::string interpreterParameters(std::string_view command);

} // namespace kavrel::platform
