// The window's own code that is not a plain Win32 call, against real edit controls and drop
// handles (so under wine it needs a display).
#include "drop_files.h"

#include "dropped_paths.h"
#include "failed_files.h"
#include "field_text.h"
#include "hand_over.h"
#include "main_dialog.h"
#include "options.h"
#include "resource.h"

#include "../eventually.h"
#include "engine/engine.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

std::pair<DWORD, DWORD> selection_of(HWND field)
{
    DWORD start = 0, end = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

// Under wine, the default desktop of a prefix that was first started without a display
// cannot hold windows, whatever DISPLAY says now: one of the test's own.
void use_own_desktop()
{
    static HDESK desktop = CreateDesktopW(L"win32_test", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(desktop, nullptr);
    ASSERT_TRUE(SetThreadDesktop(desktop));
}

INT_PTR CALLBACK ignore_messages(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

std::wstring clipboard_text()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(memory));
        GlobalUnlock(memory);
    }
    CloseClipboard();
    return text;
}

std::wstring item_text(HWND view, int item, int column)
{
    wchar_t text[1024] = L"";
    LVITEMW asked{};
    asked.iSubItem = column;
    asked.pszText = text;
    asked.cchTextMax = 1024;
    SendMessageW(view, LVM_GETITEMTEXTW, WPARAM(item), reinterpret_cast<LPARAM>(&asked));
    return text;
}

int text_width(HWND view, const std::wstring& text)
{
    return int(SendMessageW(view, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

} // namespace

// 99,999 files of which 9,999 failed, and 12-digit characters and lines, fit the main
// window's fields whole, in the font its template asks for.
TEST(MainDialog, FieldsShowTheWidestTotalsWhole)
{
    ASSERT_NO_FATAL_FAILURE(use_own_desktop());
    ASSERT_TRUE(register_main_window_class(GetModuleHandleW(nullptr)));
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_POMVANE_DIALOG), nullptr,
                                     ignore_messages, 0);
    ASSERT_NE(dialog, nullptr);
    const std::pair<int, const wchar_t*> widest[] = {
        {IDC_FILES, L"99999 (9999 failed to open)"}, {IDC_CHARACTERS, L"999999999999"}, {IDC_LINES, L"999999999999"}};
    for (const auto& [id, text] : widest) {
        HWND field = GetDlgItem(dialog, id);
        RECT room{};
        SendMessageW(field, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
        HDC context = GetDC(field);
        HGDIOBJ old_font = SelectObject(context, reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(context, text, static_cast<int>(wcslen(text)), &size);
        SelectObject(context, old_font);
        ReleaseDC(field, context);
        // The caret after the text needs a pixel too.
        EXPECT_LT(size.cx, room.right - room.left) << "field " << id;
    }
    DestroyWindow(dialog);
}

// Explorer's largest views and the installer ask for the icon at 256 pixels: it has its own
// image of that size, not the 48-pixel one blown up.
TEST(Resources, IconHasA256PixelImage)
{
    HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_MAINFRAME), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    ASSERT_NE(group, nullptr);
    auto* directory = static_cast<BYTE*>(LockResource(LoadResource(nullptr, group)));
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, 256, 256, LR_DEFAULTCOLOR);
    HRSRC image = FindResourceW(nullptr, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_ICON));
    ASSERT_NE(image, nullptr);
    HICON icon = CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(nullptr, image))),
                                          SizeofResource(nullptr, image), TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 256);
    EXPECT_EQ(colour.bmHeight, 256);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST(FieldText, RewritingKeepsTheUsersSelection)
{
    ASSERT_NO_FATAL_FAILURE(use_own_desktop());
    HWND field = CreateWindowExW(0, L"EDIT", L"12345", WS_POPUP | ES_READONLY | ES_AUTOHSCROLL,
                                 0, 0, 200, 24, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(field, nullptr) << "no edit control could be made; under wine, DISPLAY must be set";

    SendMessageW(field, EM_SETSEL, 1, 3);
    set_field_text(field, L"123456");
    EXPECT_EQ(window_text(field), L"123456");
    EXPECT_EQ(selection_of(field), std::make_pair(DWORD{1}, DWORD{3}));

    // The same text again leaves everything as it was.
    set_field_text(field, L"123456");
    EXPECT_EQ(selection_of(field), std::make_pair(DWORD{1}, DWORD{3}));

    // A shorter text cuts the selection at its end.
    set_field_text(field, L"12");
    EXPECT_EQ(window_text(field), L"12");
    EXPECT_EQ(selection_of(field), std::make_pair(DWORD{1}, DWORD{2}));
    DestroyWindow(field);
}

TEST(Paths, DropsArriveWholeAndInOrderAsUtf8)
{
    const std::wstring long_path = L"C:\\" + std::wstring(300, L'd') + L"\\file.txt";
    HDROP drop = make_drop({L"C:\\na\u00efve \u2713.txt", long_path, L"C:\\emoji \U0001F600"});
    const std::vector<std::string> paths = dropped_paths(drop);
    GlobalFree(drop);
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[0], "C:\\na\xc3\xafve \xe2\x9c\x93.txt");
    EXPECT_EQ(paths[1], "C:\\" + std::string(300, 'd') + "\\file.txt");
    EXPECT_EQ(paths[2], "C:\\emoji \xf0\x9f\x98\x80");
}

TEST(HandOver, TakesWhatWasSentAndNothingMalformed)
{
    const std::vector<std::string> sent{"C:\\na\xc3\xafve \xf0\x9f\x98\x80.txt", "C:\\" + std::string(300, 'd'), ""};
    std::vector<unsigned char> message = hand_over::encode(sent);
    bool walk = true;
    const auto decoded = [&walk](std::vector<unsigned char> bytes, ULONG_PTR tag = hand_over::tag) {
        std::vector<std::string> paths{"untouched"};
        const COPYDATASTRUCT data{tag, static_cast<DWORD>(bytes.size()), bytes.data()};
        const bool taken = hand_over::decode(data, paths, walk);
        EXPECT_TRUE(taken || paths == std::vector<std::string>{"untouched"}) << "a refused message changed the list";
        return taken ? paths : std::vector<std::string>{};
    };
    EXPECT_EQ(decoded(message), sent);
    EXPECT_FALSE(walk);
    EXPECT_EQ(decoded(hand_over::encode(sent, true)), sent);
    EXPECT_TRUE(walk);
    EXPECT_EQ(decoded(hand_over::encode({})), std::vector<std::string>{});

    // Each is refused whole.
    std::vector<unsigned char> bad = message;
    EXPECT_TRUE(decoded(message, hand_over::tag + 1).empty());
    bad[0] = 2; // an unknown flag
    EXPECT_TRUE(decoded(bad).empty());
    bad = message;
    bad.pop_back(); // cut short
    EXPECT_TRUE(decoded(bad).empty());
    bad = message;
    bad.push_back(0); // one byte too many
    EXPECT_TRUE(decoded(bad).empty());
    bad = message;
    bad[4] = 4; // more paths than there are
    EXPECT_TRUE(decoded(bad).empty());
    bad = message;
    bad[11] = 0x7F; // a first length far past the end
    EXPECT_TRUE(decoded(bad).empty());
    bad = hand_over::encode({"ab"});
    bad[12] = bad[13] = 0; // a NUL inside the name
    EXPECT_TRUE(decoded(bad).empty());
    bad = hand_over::encode({"ab"});
    bad[12] = 0x00, bad[13] = 0xD8; // an unpaired surrogate
    EXPECT_TRUE(decoded(bad).empty());
    EXPECT_TRUE(decoded({0, 0, 0, 0, 1, 0, 0}).empty());
    // 2^32 - 1 paths announced in 8 bytes: refused by the count before anything is sized for
    // them, or the window would end with std::bad_alloc.
    EXPECT_TRUE(decoded({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}).empty());
    EXPECT_TRUE(decoded({}).empty());
}

TEST(Options, FilesAreMadeAbsoluteAndOptionsTakenUntilTheDashes)
{
    SetCurrentDirectoryW(L"C:\\windows");
    const window_options counted = parse_options({"a.txt", "--new-window", "-r", "--", "--help", "D:\\b.txt"});
    EXPECT_EQ(counted.what, window_options::action::open);
    EXPECT_TRUE(counted.new_window);
    EXPECT_TRUE(counted.walk_folders);
    EXPECT_EQ(counted.files, (std::vector<std::string>{"C:\\windows\\a.txt", "C:\\windows\\--help", "D:\\b.txt"}));
    EXPECT_EQ(parse_options({"a.txt", "--version"}).what, window_options::action::version);
    EXPECT_EQ(parse_options({"-h"}).what, window_options::action::help);
    const window_options bad = parse_options({"--nonsense", "--help"});
    EXPECT_EQ(bad.what, window_options::action::usage_error);
    EXPECT_NE(bad.error.find("--nonsense"), std::string::npos);
}

// Failed Files: a row a failure, its reason whole in a column as wide as the widest, the
// paths in the room left as the window grows; Ctrl+C copies the rows selected, a row's
// tooltip holds it whole, a screen reader hears the list named, and Reset empties it.
TEST(FailedFiles, ListsReasonsWholeAndPathsInTheRoomLeft)
{
    ASSERT_NO_FATAL_FAILURE(use_own_desktop());
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    engine counter;
    counter.add_files(std::vector<std::string>{"C:\\no such folder\\missing.txt", "C:\\windows"});
    ASSERT_TRUE(eventually([&counter] { return counter.totals().files_failed == 2; }));
    failed_files list(&counter);
    show_failed_files(owner, list);
    ASSERT_NE(list.window, nullptr);
    HWND view = GetDlgItem(list.window, IDC_FAILED_LIST);
    ASSERT_EQ(ListView_GetItemCount(view), 2);
    EXPECT_EQ(item_text(view, 0, 0), L"C:\\no such folder\\missing.txt");
    EXPECT_EQ(item_text(view, 1, 0), L"C:\\windows");
    const std::wstring folder = L"is a folder; turn on Count Files in Folders";
    EXPECT_EQ(item_text(view, 1, 1), folder);

    const auto widths = [view] {
        RECT client;
        GetClientRect(view, &client);
        return std::make_tuple(ListView_GetColumnWidth(view, 0), ListView_GetColumnWidth(view, 1), int(client.right));
    };
    const auto [path_width, reason_width, room] = widths();
    for (int item = 0; item < 2; ++item)
        EXPECT_GT(reason_width, text_width(view, item_text(view, item, 1))) << "row " << item;
    EXPECT_EQ(path_width + reason_width, room);
    RECT place;
    GetWindowRect(list.window, &place);
    SetWindowPos(list.window, nullptr, 0, 0, place.right - place.left + 200, place.bottom - place.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    const auto [wider_path_width, same_reason_width, wider_room] = widths();
    EXPECT_EQ(wider_room, room + 200);
    EXPECT_EQ(same_reason_width, reason_width);
    EXPECT_EQ(wider_path_width, path_width + 200);

    // Ctrl+C, with the second row selected alone.
    ListView_SetItemState(view, 1, LVIS_SELECTED, LVIS_SELECTED);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(view, WM_KEYDOWN, 'C', 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(clipboard_text(), L"C:\\windows: " + folder + L"\r\n");

    wchar_t tip[INFOTIPSIZE] = L"";
    NMLVGETINFOTIPW asked{};
    asked.hdr = {view, IDC_FAILED_LIST, LVN_GETINFOTIPW};
    asked.pszText = tip;
    asked.cchTextMax = INFOTIPSIZE;
    asked.iItem = 1;
    SendMessageW(list.window, WM_NOTIFY, IDC_FAILED_LIST, reinterpret_cast<LPARAM>(&asked));
    EXPECT_EQ(std::wstring(tip), L"C:\\windows: " + folder);

    IAccessible* accessible = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(view, DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&accessible)), S_OK);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    accessible->get_accName(self, &name);
    EXPECT_EQ(std::wstring(name ? name : L"(none)"), L"Failed files");
    SysFreeString(name);
    accessible->Release();
    // Windows' readers take the label just before the list instead.
    EXPECT_EQ(window_text(GetWindow(view, GW_HWNDPREV)), L"&Failed files:");

    counter.reset();
    clear_failed_files(list);
    EXPECT_EQ(ListView_GetItemCount(view), 0);
    DestroyWindow(list.window);
    DestroyWindow(owner);
}
