#include "platform/cmd_line.h"

namespace kavrel::platform {

std::string escapeForCmd(std::string_view text) {
    constexpr std::string_view metacharacters = "&|<>()^%!\"";
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) {
        if (metacharacters.find(c) != std::string_view::npos)
            out += '^';
        out += c;
    }
    return out;
}

std::string quoteForCmd(std::string_view path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '%')
            out += "\"^%\"";
        else
            out += c;
    }
    out += '"';
    return out;
}

std::string launcherCommand(std::string_view dir, std::string_view launcher,
                            std::string_view argument) {
    std::string script(dir);
    script += '\\';
    script += launcher;
    return quoteForCmd(script) + " " + quoteForCmd(dir) + " " + escapeForCmd(argument);
}

std::string interpreterParameters(std::string_view command) {
    return "/d /v:off /s /c \"" + std::string(command) + "\"";
}

} // namespace kavrel::platform
