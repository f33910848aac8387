#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The few operating-system services the thread object and the engine need, shaped like the calls it was
// designed around: threads created suspended, identified by the kernel's thread id, and
// reference-counted handles to them that can be duplicated, closed and waited on
// independently. A handle stays usable after other handles to the same thread are closed,
// and the thread keeps a reference of its own while it runs. On Windows these are the
// kernel's own thread handles (os_win32.cpp); elsewhere POSIX threads stand in (os_posix.cpp).
namespace lib::os {

#ifdef _WIN32
using native_handle = void*; // HANDLE, without bringing <windows.h> to every user
#else
struct thread_object;
using native_handle = thread_object*;
#endif

// Neither null nor invalid_handle() names a thread; callers test with is_valid_handle.
native_handle invalid_handle() noexcept;
bool is_valid_handle(native_handle handle) noexcept;

using thread_routine = void (*)(void* argument);

// Starts a thread that waits until resume_thread before it calls routine(argument).
// Returns its handle, or null when no thread could be created; on success stores the new
// thread's id in *id, as soon as the call returns.
native_handle create_suspended_thread(thread_routine routine, void* argument, std::uint32_t* id) noexcept;
bool resume_thread(native_handle thread) noexcept;

// POSIX: asks the thread to unwind at its next cancellation point (deferred cancellation).
// Until then it runs on, so callers wait for it before they assume anything.
// Windows: no thread can be made to unwind from outside, and TerminateThread would leave
// locks and the heap in an undefined state; this says so on standard error and ends the
// process with std::abort() instead. It never returns there.
void cancel_thread(native_handle thread) noexcept;

native_handle duplicate_handle(native_handle source) noexcept;
void close_handle(native_handle handle) noexcept;

// Returns once the thread has left its routine, by return, exception or cancellation:
// from then on it runs none of the program's code.
bool wait_for_thread(native_handle thread) noexcept;

// The kernel's id of the calling thread on Linux (os_linux.cpp) and Windows; on other POSIX
// systems a number of the process's own, never 0 (os_thread_id_posix.cpp).
std::uint32_t current_thread_id() noexcept;

// How many files the process may hold open at once; SIZE_MAX when there is no such limit
// (Windows handles have none worth the name) or it cannot be learnt.
std::size_t open_files_limit() noexcept;

// The system's message for an error number (errno on POSIX, GetLastError() on Windows),
// in UTF-8, without a final full stop: "No such file or directory". Safe from any thread.
std::string error_message(unsigned long error);

// Whether the error number says that the path names nothing (ENOENT; on Windows, file or
// path not found).
bool is_missing(unsigned long error) noexcept;

} // namespace lib::os
