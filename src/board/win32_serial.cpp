// The serial port on Windows, through the Win32 API.
#include "board/win32_serial.h"

namespace kavrel::board {

std::string portDescription(const std::string& friendlyName, const std::string& port) {
    const std::string suffix = " (" + port + ")";
    if (!port.empty() && friendlyName.size() > suffix.size() &&
        friendlyName.compare(friendlyName.size() - suffix.size(), suffix.size(), suffix) == 0)
        return friendlyName.substr(0, friendlyName.size() - suffix.size());
    return friendlyName;
}

} // namespace kavrel::board

#ifdef _WIN32
#include "common/utf8_text.h"
#include "common/windows_api.h"
#include "platform/system_errors.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>

// clang-format off
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

namespace kavrel::board {

namespace {

// The longest a read waits in one call (see read()).
constexpr long long kReadSliceMs = 5;

HANDLE handleOf(void* handle) {
    return static_cast<HANDLE>(handle);
}

// \\.\COMn: the only name that opens COM10 and above.
std::wstring devicePath(const std::string& port) {
    const std::wstring wide = utf8::toPath(port).wstring();
    if (wide.rfind(L"\\\\.\\", 0) == 0)
        return wide;
    return L"\\\\.\\" + wide;
}

// The number of COMn, for the order of the list.
unsigned long comNumber(const std::string& name) {
    std::size_t at = name.size();
    while (at > 0 && name[at - 1] >= '0' && name[at - 1] <= '9')
        --at;
    return at < name.size() ? std::stoul(name.substr(at)) : 0;
}

} // namespace

Win32SerialTransport::Win32SerialTransport() = default;

Win32SerialTransport::~Win32SerialTransport() {
    close();
}

void Win32SerialTransport::open(const std::string& port, unsigned baud) {
    close();
    // A terminal of this program that let the port go may not have closed it yet.
    awaitPortClosed(port, kPortReleaseWait);
    HANDLE handle = CreateFileW(devicePath(port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            throw PortError(PortFault::NotFound, platform::lastErrorReason(error));
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            // A COM port is opened by one program at a time: denied means held.
            throw PortError(PortFault::Busy, platform::lastErrorReason(error));
        default:
            throw PortError(PortFault::Other, platform::lastErrorReason(error));
        }
    }
    handle_ = handle;
    timeoutSet_ = false;

    applySettings(baud);
    // Bytes left from before (the loader's break, a program's output) go.
    PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
}

// 8N1 at `baud`, no flow control; closes the port when the settings are refused.
void Win32SerialTransport::applySettings(unsigned baud) {
    HANDLE handle = handleOf(handle_);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb))
        fail(GetLastError());
    const DCB before = dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    // DTR and RTS up, as a terminal leaves them; boards that wire them to
    // RESET are not pulsed behind the user's back.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    bool set = SetCommState(handle, &dcb);
    DWORD error = set ? ERROR_SUCCESS : GetLastError();
    if (!set && (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION)) {
        // A port without the control lines may refuse to set them: they stay
        // as they are, the rest is set all the same.
        dcb.fDtrControl = before.fDtrControl;
        dcb.fRtsControl = before.fRtsControl;
        set = SetCommState(handle, &dcb);
        error = set ? ERROR_SUCCESS : GetLastError();
    }
    if (!set) {
        close();
        if (error == ERROR_INVALID_PARAMETER)
            throw PortError(PortFault::SpeedRefused);
        throw PortError(PortFault::Other, platform::lastErrorReason(error));
    }
}

void Win32SerialTransport::setBaud(unsigned baud) {
    if (!handle_)
        throw PortError(PortFault::Other, "port fermé");
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handleOf(handle_), &dcb))
        fail(GetLastError());
    const DWORD before = dcb.BaudRate;
    dcb.BaudRate = baud;
    if (!SetCommState(handleOf(handle_), &dcb)) {
        const DWORD error = GetLastError();
        if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED)
            fail(error);
        // The port stays open at its former speed.
        dcb.BaudRate = before;
        SetCommState(handleOf(handle_), &dcb);
        throw PortError(PortFault::SpeedRefused);
    }
}

void Win32SerialTransport::pulseReset(Duration low) {
    if (!handle_)
        throw PortError(PortFault::Other, "port fermé");
    HANDLE handle = handleOf(handle_);
    // A port without the lines (a pseudo-terminal under Wine answers "not
    // supported", where a real adapter has them) stays open: only the reset
    // cannot be done, whichever of the four calls says so.
    const auto drive = [&](DWORD function) {
        if (EscapeCommFunction(handle, function))
            return;
        const DWORD error = GetLastError();
        if (error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED)
            fail(error);
        // Left up, as a terminal leaves them, where the system lets us.
        EscapeCommFunction(handle, SETDTR);
        EscapeCommFunction(handle, SETRTS);
        throw PortError(PortFault::NoControlLines);
    };
    drive(CLRDTR);
    drive(CLRRTS);
    Sleep(static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(low).count()));
    drive(SETDTR);
    drive(SETRTS);
}

void Win32SerialTransport::write(std::span<const std::uint8_t> bytes) {
    if (!handle_)
        throw PortError(PortFault::Other, "port fermé");
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!WriteFile(handleOf(handle_), bytes.data() + done,
                       static_cast<DWORD>(bytes.size() - done), &n, nullptr))
            fail(GetLastError());
        done += n;
    }
}

void Win32SerialTransport::setReadTimeout(unsigned long ms, bool wait) {
    if (timeoutSet_ && ms == timeoutMs_ && wait == timeoutWait_)
        return;
    COMMTIMEOUTS timeouts{};
    // MAXDWORD, MAXDWORD, n: back as soon as a byte is there, or after n ms.
    // MAXDWORD, 0, 0: back at once with what is there.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = wait ? MAXDWORD : 0;
    timeouts.ReadTotalTimeoutConstant = wait ? ms : 0;
    timeouts.WriteTotalTimeoutConstant = 2000;
    if (!SetCommTimeouts(handleOf(handle_), &timeouts))
        fail(GetLastError());
    timeoutMs_ = ms;
    timeoutWait_ = wait;
    timeoutSet_ = true;
}

std::size_t Win32SerialTransport::read(std::span<std::uint8_t> into, Duration timeout) {
    if (!handle_)
        throw PortError(PortFault::Other, "port fermé");
    // Rounded up to the millisecond: never back before the deadline.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::ceil<std::chrono::milliseconds>(timeout);
    // A wait is taken in short slices: Wine's port (on a pseudo-terminal at
    // least) sits out the whole of a read's time even once a byte has come,
    // where Windows hands it over at once. Either way a byte waits one slice
    // at most.
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        const bool wait = left > 0;
        setReadTimeout(static_cast<unsigned long>(std::clamp<long long>(left, 1, kReadSliceMs)),
                       wait);
        DWORD n = 0;
        if (!ReadFile(handleOf(handle_), into.data(), static_cast<DWORD>(into.size()), &n, nullptr))
            fail(GetLastError());
        if (n > 0 || std::chrono::steady_clock::now() >= deadline)
            return n;
    }
}

void Win32SerialTransport::close() {
    if (handle_) {
        // What the loader did not take yet is of no use to anybody.
        PurgeComm(handleOf(handle_), PURGE_TXABORT | PURGE_TXCLEAR);
        CloseHandle(handleOf(handle_));
        handle_ = nullptr;
    }
}

Duration Win32SerialTransport::now() const {
    return std::chrono::steady_clock::now().time_since_epoch();
}

void Win32SerialTransport::fail(unsigned long error) {
    close();
    switch (error) {
    case ERROR_BAD_COMMAND:
    case ERROR_OPERATION_ABORTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_GEN_FAILURE:
        // What USB adapters' drivers answer once they are unplugged.
        throw PortError(PortFault::Vanished, platform::lastErrorReason(error));
    default:
        throw PortError(PortFault::Other, platform::lastErrorReason(error));
    }
}

std::vector<std::string> win32SerialPorts() {
    std::vector<std::string> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameSize = 256;
        wchar_t data[256];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        const LONG status = RegEnumValueW(key, index, name, &nameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        std::wstring value(data, dataSize / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
        ports.push_back(utf8::fromPath(std::filesystem::path(value)));
    }
    RegCloseKey(key);
    std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) {
        return comNumber(a) != comNumber(b) ? comNumber(a) < comNumber(b) : a < b;
    });
    return ports;
}

namespace {

std::string deviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t value[512];
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                           reinterpret_cast<BYTE*>(value), sizeof value - 2,
                                           nullptr) ||
        type != REG_SZ)
        return {};
    value[511] = L'\0';
    return utf8::fromPath(std::filesystem::path(std::wstring(value)));
}

// The device manager's ports: their COM name, description and maker.
std::map<std::string, Win32Port> devicesByPort() {
    std::map<std::string, Win32Port> found;
    HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return found;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t name[64];
        DWORD size = sizeof name - 2;
        DWORD type = 0;
        const LONG status = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                             reinterpret_cast<BYTE*>(name), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        name[std::min<DWORD>(size / sizeof(wchar_t), 63)] = L'\0';
        Win32Port port;
        port.name = utf8::fromPath(std::filesystem::path(std::wstring(name)));
        port.description =
            portDescription(deviceProperty(devices, device, SPDRP_FRIENDLYNAME), port.name);
        port.maker = deviceProperty(devices, device, SPDRP_MFG);
        found[port.name] = port;
    }
    SetupDiDestroyDeviceInfoList(devices);
    return found;
}

} // namespace

std::vector<Win32Port> win32SerialPortDetails() {
    // The lists of ports are looked at every second for plugs and unplugs:
    // the device manager is asked again only when the names change.
    static std::mutex mutex;
    static std::vector<std::string> lastNames;
    static std::map<std::string, Win32Port> known;
    const std::vector<std::string> names = win32SerialPorts();
    const std::lock_guard<std::mutex> lock(mutex);
    if (names != lastNames) {
        known = devicesByPort();
        lastNames = names;
    }
    std::vector<Win32Port> ports;
    for (const std::string& name : names) {
        const auto found = known.find(name);
        ports.push_back(found != known.end() ? found->second : Win32Port{name, {}, {}});
    }
    return ports;
}

} // namespace kavrel::board
#endif
