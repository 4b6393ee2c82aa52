// The main road of the installed program, walked by keyboard as a user would:
//   keyboard_road.exe <program directory> <source line>... -- <expected S19 line>
// Starts <program directory>\kavrel.exe, makes a new program (Fichier >
// Nouveau programme), types the source lines, saves it (Fichier > Enregistrer)
// and assembles it (Assemblage > Assembler -> S19); then checks that
// c:\Prog_1.asc holds the lines ended by CR LF and that c:\Prog_1.S19 holds
// the expected record. The menus are reached with Alt and the arrows only.
// Exit status 0 when every check passed; each failure is written out.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

int failures = 0;

void fail(const std::string& what) {
    std::fprintf(stderr, "ÉCHEC : %s\n", what.c_str());
    ++failures;
}

std::string readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK visibleWindowOf(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window) && GetWindowTextLengthW(window) > 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND waitForWindow(DWORD process, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        Search search{process, nullptr};
        EnumWindows(visibleWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        std::this_thread::sleep_for(200ms);
    }
    return nullptr;
}

void send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    std::this_thread::sleep_for(250ms);
}

INPUT key(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void tap(WORD vk) { send({key(vk, false), key(vk, true)}); }

void type(const std::string& text) {
    for (const char c : text) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wScan = static_cast<unsigned char>(c);
        down.ki.dwFlags = KEYEVENTF_UNICODE;
        INPUT up = down;
        up.ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(1, &down, sizeof(INPUT));
        SendInput(1, &up, sizeof(INPUT));
        std::this_thread::sleep_for(20ms);
    }
}

// The menu bar by Alt, then `right` menus along, opened, `down` items down.
void menu(int right, int down) {
    tap(VK_MENU);
    for (int i = 0; i < right; ++i)
        tap(VK_RIGHT);
    tap(VK_DOWN);
    for (int i = 0; i < down; ++i)
        tap(VK_DOWN);
    tap(VK_RETURN);
}

bool waitForFile(const char* path, const std::string& holding, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (readAll(path).find(holding) != std::string::npos)
            return true;
        std::this_thread::sleep_for(200ms);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "Utilisation : keyboard_road <répertoire> <ligne>... -- <ligne S19>\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<std::string> lines;
    int i = 2;
    for (; i < argc && std::string(argv[i]) != "--"; ++i)
        lines.push_back(argv[i]);
    const std::string record = i + 1 < argc ? argv[i + 1] : "";

    DeleteFileA("c:\\Prog_1.asc");
    DeleteFileA("c:\\Prog_1.S19");

    std::string command = "\"" + dir + "\\kavrel.exe\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                        &startup, &info)) {
        fail("kavrel.exe ne démarre pas (" + std::to_string(GetLastError()) + ")");
        return 1;
    }
    const HWND window = waitForWindow(info.dwProcessId, 60s);
    if (!window) {
        fail("pas de fenêtre de Kavrel après une minute");
    } else {
        SetForegroundWindow(window);
        std::this_thread::sleep_for(1s);

        menu(0, 0); // Fichier > Nouveau programme
        std::this_thread::sleep_for(1s);
        for (const std::string& line : lines) {
            type(line);
            tap(VK_RETURN);
        }
        menu(0, 3); // Fichier > Enregistrer
        std::string expected;
        for (const std::string& line : lines)
            expected += line + "\r\n";
        if (!waitForFile("c:\\Prog_1.asc", expected, 20s))
            fail("c:\\Prog_1.asc ne contient pas le texte tapé, en lignes CR LF : [" +
                 readAll("c:\\Prog_1.asc") + "]");

        menu(2, 1); // Assemblage > Assembler -> S19
        if (!waitForFile("c:\\Prog_1.S19", record + "\r\n", 30s) &&
            !waitForFile("c:\\Prog_1.S19", record + "\n", 1s))
            fail("c:\\Prog_1.S19 ne contient pas " + record + " : [" +
                 readAll("c:\\Prog_1.S19") + "]");
    }
    DWORD code = 0;
    if (GetExitCodeProcess(info.hProcess, &code) && code != STILL_ACTIVE)
        fail("kavrel.exe s'est arrêté (code " + std::to_string(code) + ")");
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (failures == 0)
        std::printf("Parcours clavier : Prog_1.asc enregistré, Prog_1.S19 assemblé.\n");
    return failures == 0 ? 0 : 1;
}
