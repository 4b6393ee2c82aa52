#include "platform/desktop.h"

#include <QColor>
#include <QGuiApplication>

#ifdef _WIN32
#include <windows.h>
#elif defined(KAVREL_HAVE_X11)
#include <QtGui/qguiapplication_platform.h>
#include <X11/XKBlib.h>
#endif

namespace kavrel::platform {

std::optional<KeyLocks> readKeyLocks() {
#ifdef _WIN32
    return KeyLocks{(GetKeyState(VK_NUMLOCK) & 1) != 0, (GetKeyState(VK_CAPITAL) & 1) != 0};
#elif defined(KAVREL_HAVE_X11)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    unsigned int state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    // Indicator 0 is Caps Lock and indicator 1 Num Lock on the usual keymaps;
    // ask for them by name so other layouts are read right too.
    auto lit = [&](const char* name, unsigned fallbackBit) {
        Atom atom = XInternAtom(display, name, True);
        int index = -1;
        Bool on = False;
        if (atom != None && XkbGetNamedIndicator(display, atom, &index, &on, nullptr, nullptr))
            return on == True;
        return (state & (1u << fallbackBit)) != 0;
    };
    return KeyLocks{lit("Num Lock", 1), lit("Caps Lock", 0)};
#else
    return std::nullopt;
#endif
}

std::optional<QColor> workspaceColour() {
#ifdef _WIN32
    const DWORD c = GetSysColor(COLOR_APPWORKSPACE);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
#else
    return std::nullopt;
#endif
}

} // namespace kavrel::platform
