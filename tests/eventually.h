#pragma once

#include <chrono>
#include <thread>

// Polls until done() holds, for at most 30 s: generous for sanitizer builds on a loaded
// machine, and a deadline rather than a hang when something is wrong.
template <typename Predicate>
bool eventually(Predicate done)
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(100us);
    }
    return true;
}
