#include "fault_guard.h"

#include <atomic>
#include <mutex>

#include <setjmp.h>
#include <signal.h>

namespace lib {

namespace {

// The pages this thread is touching under guard, and where to land when one faults.
struct guarded_range {
    const char* begin;
    const char* end;
    sigjmp_buf landing;
};

// Set only inside guarded_touch, on its own thread; read by the handler on that thread.
thread_local guarded_range* active = nullptr;

struct sigaction earlier {}; // the SIGBUS disposition before ours

// Hands a fault that is not ours on as if the guard were not there: to the handler that was
// there before, or else to the kernel's default action, which ends the process. A SIGBUS that
// was ignored stays ignored only when another process sent it: the kernel never lets a fault
// be ignored (it ends the process instead), and returning would run the faulting access again,
// for ever.
void pass_on(int signal, siginfo_t* info, void* context)
{
    if ((earlier.sa_flags & SA_SIGINFO) != 0) {
        earlier.sa_sigaction(signal, info, context);
    } else if (earlier.sa_handler != SIG_DFL && earlier.sa_handler != SIG_IGN) {
        earlier.sa_handler(signal);
    } else if (earlier.sa_handler == SIG_DFL || info->si_code > 0) {
        // Die as without us: with the default action restored, the raised signal is
        // delivered once this handler returns, for a fault and a sent signal alike.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
        raise(signal);
    }
}

void on_bus_error(int signal, siginfo_t* info, void* context)
{
    guarded_range* const range = active;
    const char* const at = static_cast<const char*>(info->si_addr);
    // si_code > 0: raised by the kernel for an access, not sent by a process.
    if (range != nullptr && info->si_code > 0 && at >= range->begin && at < range->end) {
        active = nullptr;
        siglongjmp(range->landing, 1);
    }
    pass_on(signal, info, context);
}

void install()
{
    struct sigaction ours {};
    ours.sa_sigaction = on_bus_error;
    ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&ours.sa_mask);
    // Fails only for a signal that cannot be caught, which SIGBUS is not.
    sigaction(SIGBUS, &ours, &earlier);
}

} // namespace

bool guarded_touch(const void* begin, std::size_t size, void (*touch)(void* context) noexcept,
                   void* context) noexcept
{
    static std::once_flag once;
    std::call_once(once, install);

    guarded_range range{static_cast<const char*>(begin), static_cast<const char*>(begin) + size, {}};
    // The mask is saved, because the handler's jump leaves it with SIGBUS blocked, and a
    // second fault while blocked would kill the process.
    if (sigsetjmp(range.landing, 1) != 0)
        return false;
    active = &range;
    std::atomic_signal_fence(std::memory_order_seq_cst); // set before any page is touched
    touch(context);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    active = nullptr;
    return true;
}

} // namespace lib
