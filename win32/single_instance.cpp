#include "single_instance.h"

#include "hand_over.h"
#include "resource.h"

namespace {

// Long enough for a window busy under a loaded machine; a start waits no longer.
constexpr DWORD answer_timeout_ms = 3000;
const wchar_t serving_property[] = L"org.pomvane.Pomvane.serving";

std::wstring object_name(HANDLE object)
{
    DWORD needed = 0;
    GetUserObjectInformationW(object, UOI_NAME, nullptr, 0, &needed);
    std::wstring name(needed / sizeof(wchar_t) + 1, L'\0');
    if (!GetUserObjectInformationW(object, UOI_NAME, name.data(),
                                   static_cast<DWORD>(name.size() * sizeof(wchar_t)), &needed))
        return {};
    name.resize(name.find(L'\0'));
    return name;
}

// Local\ is the session's namespace; the window station and desktop complete the name. A
// backslash would be taken for a namespace's end.
std::wstring mutex_name()
{
    std::wstring place =
        object_name(GetProcessWindowStation()) + L"." + object_name(GetThreadDesktop(GetCurrentThreadId()));
    for (wchar_t& c : place)
        if (c == L'\\')
            c = L'|';
    return L"Local\\org.pomvane.Pomvane." + place;
}

// FindWindow looks on this thread's desktop only.
HWND serving_window()
{
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"" MAIN_WINDOW_CLASS, nullptr)))
        if (GetPropW(window, serving_property))
            return window;
    return nullptr;
}

} // namespace

start_lock::start_lock()
{
    mutex = CreateMutexW(nullptr, FALSE, mutex_name().c_str());
    if (!mutex)
        return;
    // WAIT_ABANDONED: a start that held it ended without releasing it; it is ours now.
    const DWORD waited = WaitForSingleObject(mutex, answer_timeout_ms);
    owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

start_lock::~start_lock()
{
    release();
    if (mutex)
        CloseHandle(mutex);
}

void start_lock::release()
{
    if (owned)
        ReleaseMutex(mutex);
    owned = false;
}

hand_over_result hand_over_files(const std::vector<std::string>& paths, bool walk_folders)
{
    HWND window = serving_window();
    if (!window)
        return hand_over_result::no_window;
    std::vector<unsigned char> message = hand_over::encode(paths, walk_folders);
    COPYDATASTRUCT data{hand_over::tag, static_cast<DWORD>(message.size()), message.data()};
    // The window is to come to the front, which Windows allows it only when this start, in
    // the foreground now, lets it.
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    AllowSetForegroundWindow(process);
    DWORD_PTR taken = FALSE;
    if (SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG | SMTO_BLOCK,
                            answer_timeout_ms, &taken)
        && taken == TRUE)
        return hand_over_result::handed_over;
    // A window closed meanwhile is no window.
    return IsWindow(window) ? hand_over_result::failed : hand_over_result::no_window;
}

void serve_later_starts(HWND window)
{
    SetPropW(window, serving_property, reinterpret_cast<HANDLE>(1));
}

void stop_serving(HWND window)
{
    RemovePropW(window, serving_property);
}
