#include "os.h"

#include "paths.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <type_traits>

namespace lib::os {

static_assert(std::is_same_v<native_handle, HANDLE>);

namespace {

struct start_record {
    thread_routine routine;
    void* argument;
};

// noexcept: an exception that leaves the routine ends the process, as it does on POSIX.
DWORD WINAPI trampoline(void* argument) noexcept
{
    const start_record start = *static_cast<start_record*>(argument);
    delete static_cast<start_record*>(argument);
    start.routine(start.argument);
    return 0;
}

} // namespace

native_handle invalid_handle() noexcept
{
    return INVALID_HANDLE_VALUE;
}

bool is_valid_handle(native_handle handle) noexcept
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

native_handle create_suspended_thread(thread_routine routine, void* argument, std::uint32_t* id) noexcept
{
    auto* start = new (std::nothrow) start_record{routine, argument};
    if (start == nullptr)
        return nullptr;
    DWORD thread_id = 0;
    HANDLE thread = CreateThread(nullptr, 0, &trampoline, start, CREATE_SUSPENDED, &thread_id);
    if (thread == nullptr) {
        delete start;
        return nullptr;
    }
    *id = thread_id;
    return thread;
}

bool resume_thread(native_handle thread) noexcept
{
    return is_valid_handle(thread) && ResumeThread(thread) != static_cast<DWORD>(-1);
}

void cancel_thread(native_handle) noexcept
{
    std::fputs("lib::threadable: a thread cannot be stopped by force on Windows; "
               "its body must be cooperative. Ending the process.\n",
               stderr);
    std::fflush(stderr);
    std::abort();
}

native_handle duplicate_handle(native_handle source) noexcept
{
    if (!is_valid_handle(source))
        return nullptr;
    HANDLE copy = nullptr;
    const HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, source, process, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

void close_handle(native_handle handle) noexcept
{
    if (is_valid_handle(handle))
        CloseHandle(handle);
}

bool wait_for_thread(native_handle thread) noexcept
{
    return is_valid_handle(thread) && WaitForSingleObject(thread, INFINITE) == WAIT_OBJECT_0;
}

std::uint32_t current_thread_id() noexcept
{
    return GetCurrentThreadId();
}

std::size_t open_files_limit() noexcept
{
    return std::numeric_limits<std::size_t>::max();
}

std::string error_message(unsigned long error)
{
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, sizeof text / sizeof text[0], nullptr);
    // FormatMessage ends its messages with a full stop and a line end.
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r' || text[length - 1] == L'.'
                          || text[length - 1] == L' '))
        --length;
    const std::string utf8 = to_utf8({text, length});
    return utf8.empty() ? "error " + std::to_string(error) : utf8;
}

bool is_missing(unsigned long error) noexcept
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

} // namespace lib::os
