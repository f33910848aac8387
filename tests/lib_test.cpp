#include "lib/handle.h"
#include "lib/os.h"
#include "lib/paths.h"
#ifndef _WIN32
#include "lib/fault_guard.h"
#endif
#include "lib/threadable.h"

#include "eventually.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <cstdlib>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace std::chrono_literals;

namespace {

// A bare thread that runs until released, for the handle tests.
struct gated_thread {
    std::atomic<bool> release{false};
    std::atomic<bool> done{false};
    lib::handle owner;
    std::uint32_t id = 0;

    gated_thread()
    {
        owner.attach(lib::os::create_suspended_thread(&body, this, &id));
        lib::os::resume_thread(owner.value());
    }
    static void body(void* argument)
    {
        auto* self = static_cast<gated_thread*>(argument);
        while (!self->release)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(20ms); // the end must be waited for, not guessed
        self->done = true;
    }
};

TEST(Handle, InvalidValuesAreNeverUsed)
{
    lib::handle fresh;
    EXPECT_FALSE(fresh.is_valid());
    EXPECT_THROW(
        {
            try {
                fresh.wait();
            } catch (const std::logic_error& error) {
                EXPECT_STREQ(error.what(), "handle::wait");
                throw;
            }
        },
        std::logic_error);

    lib::handle invalid;
    invalid.attach(lib::os::invalid_handle());
    EXPECT_FALSE(invalid.is_valid());
    invalid.close();
    EXPECT_EQ(invalid.value(), lib::os::invalid_handle());
    invalid.assign(fresh);
    EXPECT_EQ(invalid.value(), lib::os::invalid_handle());
    EXPECT_THROW(invalid.wait(), std::logic_error);
}

TEST(Handle, AssignFromInvalidSourceClosesAndLeavesNull)
{
    gated_thread thread;
    lib::handle held;
    held.assign(thread.owner);
    ASSERT_TRUE(held.is_valid());
    lib::handle empty;
    held.assign(empty);
    EXPECT_EQ(held.value(), nullptr);
    thread.release = true;
    EXPECT_TRUE(thread.owner.wait());
}

TEST(Handle, DuplicatesAreIndependentAndWaitForTheRealEnd)
{
    gated_thread thread;
    EXPECT_NE(thread.id, 0u);
    EXPECT_NE(thread.id, lib::os::current_thread_id());
    lib::handle waiter;
    waiter.assign(thread.owner);
    thread.owner.close();
    EXPECT_FALSE(thread.owner.is_valid());
    EXPECT_TRUE(waiter.is_valid());
    thread.release = true;
    EXPECT_TRUE(waiter.wait());
    EXPECT_TRUE(thread.done);
    EXPECT_TRUE(waiter.wait()); // an ended thread stays signalled
}

// A thread object whose body is chosen by each test.
class worker : public lib::threadable {
public:
    using lib::threadable::finish;
    using lib::threadable::force_terminate;
    using lib::threadable::state;
    using lib::threadable::thread_handle;
    using lib::threadable::thread_id;

    enum class body { cooperative, blocking, stops_itself, stops_while_cancelled };

    explicit worker(body kind) : kind(kind), claims_cooperation(kind != body::blocking) {}
    worker(body kind, bool claims_cooperation) : kind(kind), claims_cooperation(claims_cooperation) {}
    ~worker() override { stop(true); }

    void begin()
    {
        std::lock_guard<lib::lockable> guard(*this);
        start();
    }

    std::atomic<bool> release{false};
    std::atomic<bool> entered{false};
    std::atomic<bool> unwound{false};
    std::atomic<bool> after_stop{false};
    std::atomic<int> finished_calls{0};
    std::atomic<int> terminated_calls{0};

protected:
    bool cooperative() override { return claims_cooperation; }
    void on_finished() override { ++finished_calls; }
    void on_terminated() override { ++terminated_calls; }

    void run() override
    {
        entered = true;
        switch (kind) {
        case body::cooperative:
            while (state == running)
                std::this_thread::sleep_for(1ms);
            while (!release)
                std::this_thread::sleep_for(1ms);
            break;
        case body::blocking: {
            struct on_unwind {
                std::atomic<bool>& flag;
                ~on_unwind() { flag = true; }
            } guard{unwound};
            // A cancellation point that never returns by itself. (A condition wait, because
            // ThreadSanitizer loses track of threads cancelled in most other blocking calls.)
            std::mutex mutex;
            std::condition_variable never;
            std::unique_lock lock(mutex);
            for (;;)
                never.wait(lock);
        }
        case body::stops_itself:
            stop(false);
            after_stop = true;
            break;
        case body::stops_while_cancelled:
            while (state == running)
                std::this_thread::sleep_for(1ms);
            stop(true); // another thread's stop is under way: returns, throws nothing
            after_stop = true;
            break;
        }
    }

private:
    body kind;
    bool claims_cooperation;
};

TEST(Threadable, StopBeforeStartChangesNothing)
{
    worker w(worker::body::cooperative);
    w.stop(true);
    EXPECT_EQ(w.state, worker::not_started);
    EXPECT_FALSE(w.thread_handle.is_valid());
}

TEST(Threadable, CooperativeStopWithoutWaitingThenFinishes)
{
    worker w(worker::body::cooperative);
    w.begin();
    EXPECT_EQ(w.state, worker::running);
    EXPECT_NE(w.thread_id, 0u);
    w.stop(false); // the body is held after it sees the stop: this must not wait for it
    EXPECT_EQ(w.state, worker::cancelled);
    w.release = true;
    EXPECT_TRUE(eventually([&] { return w.state == worker::finished; }));
    EXPECT_EQ(w.thread_id, 0u);
    EXPECT_FALSE(w.thread_handle.is_valid());
    EXPECT_EQ(w.finished_calls, 1);
}

TEST(Threadable, TwoStoppersBothWaitForTheEnd)
{
    worker w(worker::body::cooperative);
    w.begin();
    auto first = std::async(std::launch::async, [&] { w.stop(true); return w.state.load(); });
    auto second = std::async(std::launch::async, [&] { w.stop(true); return w.state.load(); });
    ASSERT_TRUE(eventually([&] { return w.state != worker::running; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(first.wait_for(0s), std::future_status::timeout);
    EXPECT_EQ(second.wait_for(0s), std::future_status::timeout);
    w.release = true;
    EXPECT_EQ(first.get(), worker::finished);
    EXPECT_EQ(second.get(), worker::finished);
    EXPECT_EQ(w.finished_calls, 1);
}

TEST(Threadable, StopOnTheWorkerUnwindsTheBody)
{
    worker w(worker::body::stops_itself);
    w.begin();
    EXPECT_TRUE(eventually([&] { return w.state == worker::finished; }));
    EXPECT_TRUE(w.entered);
    EXPECT_FALSE(w.after_stop);
    EXPECT_EQ(w.finished_calls, 1);
}

TEST(Threadable, StopOnTheWorkerWhileCancelledReturnsQuietly)
{
    worker w(worker::body::stops_while_cancelled);
    w.begin();
    w.release = true;
    w.stop(true);
    EXPECT_TRUE(w.after_stop);
    EXPECT_EQ(w.state, worker::finished);
    EXPECT_EQ(w.finished_calls, 1);
}

// Its first body blocks in an unattended call until the test opens a gate; later bodies are
// plain cooperative ones. What its bodies report goes to `seen`, which outlives the object.
class gated_worker : public lib::threadable {
public:
    using lib::threadable::state;
    using lib::threadable::thread_handle;
    using lib::threadable::thread_id;

    struct report {
        std::atomic<bool> blocked{false};
        std::atomic<bool> went_on{false}; // past the gate: would have touched the object
        std::atomic<bool> unwound{false};
    };
    gated_worker(std::shared_future<void> gate, std::shared_ptr<report> seen) : gate(gate), seen(seen) {}
    ~gated_worker() override { stop_within(1ms); }

    void begin()
    {
        std::lock_guard<lib::lockable> guard(*this);
        start();
    }
    std::atomic<int> finished_calls{0};

protected:
    bool cooperative() override { return true; }
    void on_finished() override { ++finished_calls; }
    void run() override
    {
        if (bodies++ > 0) {
            while (state == running)
                std::this_thread::sleep_for(1ms);
            return;
        }
        const std::shared_ptr<report> mine = seen;
        struct on_unwind {
            const std::shared_ptr<report>& seen;
            ~on_unwind() { seen->unwound = true; }
        } guard{mine};
        mine->blocked = true;
        unattended([gate = gate]() noexcept { gate.wait(); });
        mine->went_on = true;
        ++finished_calls; // touches the object: must never run once let go
    }

private:
    std::shared_future<void> gate;
    std::shared_ptr<report> seen;
    int bodies = 0;
};

TEST(Threadable, StopWithinLetsABlockedWorkerGoForGood)
{
    std::promise<void> gate;
    const auto seen = std::make_shared<gated_worker::report>();
    auto w = std::make_unique<gated_worker>(gate.get_future().share(), seen);
    w->begin();
    ASSERT_TRUE(eventually([&] { return seen->blocked.load(); }));
    EXPECT_FALSE(w->stop_within(5ms));
    EXPECT_EQ(w->state, gated_worker::finished);
    EXPECT_EQ(w->thread_id, 0u);
    EXPECT_FALSE(w->thread_handle.is_valid());
    EXPECT_EQ(w->finished_calls, 0); // no hooks for a worker let go

    // A new worker is in charge at once, and one that sees the stop is waited for.
    w->begin();
    EXPECT_EQ(w->state, gated_worker::running);
    EXPECT_TRUE(w->stop_within(30s));
    EXPECT_EQ(w->state, gated_worker::finished);
    EXPECT_EQ(w->finished_calls, 1);

    w.reset(); // the blocked worker must not touch the object when its call returns
    gate.set_value();
    EXPECT_TRUE(eventually([&] { return seen->unwound.load(); }));
    EXPECT_FALSE(seen->went_on);
}

#ifndef _WIN32
// POSIX only: the forced stop unwinds the body by deferred cancellation, which Win32 lacks.
TEST(Threadable, ForcedStopEndsABlockedBodyBeforeReturning)
{
    worker w(worker::body::blocking);
    w.begin();
    ASSERT_TRUE(eventually([&] { return w.entered.load(); }));
    w.stop(false); // forced stops wait regardless: the body may touch the object until it ends
    EXPECT_TRUE(w.unwound);
    EXPECT_EQ(w.state, worker::cancelled);
    EXPECT_EQ(w.thread_id, 0u);
    EXPECT_EQ(w.thread_handle.value(), nullptr);
    EXPECT_EQ(w.terminated_calls, 1);
    EXPECT_EQ(w.finished_calls, 0);

    // The ended worker cannot disturb a restart.
    w.entered = false;
    w.unwound = false;
    w.begin();
    ASSERT_TRUE(eventually([&] { return w.entered.load(); }));
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(w.state, worker::running);
    EXPECT_TRUE(w.thread_handle.is_valid());
    w.stop(true);
    EXPECT_TRUE(w.unwound);
    EXPECT_EQ(w.terminated_calls, 2);
    EXPECT_EQ(w.finished_calls, 0);
}

TEST(Threadable, ForceTerminateOverridesACooperativeBody)
{
    worker w(worker::body::blocking, true);
    w.force_terminate = true;
    w.begin();
    ASSERT_TRUE(eventually([&] { return w.entered.load(); }));
    w.stop(true);
    EXPECT_TRUE(w.unwound);
    EXPECT_EQ(w.state, worker::cancelled);
    EXPECT_EQ(w.terminated_calls, 1);
    EXPECT_EQ(w.finished_calls, 0);
}

TEST(Threadable, DestroyingARunningObjectStopsIt)
{
    auto w = std::make_unique<worker>(worker::body::blocking);
    w->begin();
    ASSERT_TRUE(eventually([&] { return w->entered.load(); }));
    w.reset(); // must neither hang nor leave the thread running over freed memory
}

#else
// Win32 cannot unwind a blocked thread from outside: the forced stop must end the process
// with a message, never terminate the thread and carry on.
TEST(ThreadableDeathTest, ForcedStopEndsTheProcessLoudly)
{
    EXPECT_DEATH(
        {
            worker w(worker::body::blocking);
            w.begin();
            while (!w.entered)
                std::this_thread::sleep_for(1ms);
            w.stop(true);
        },
        "cannot be stopped by force");
}
#endif

#ifndef _WIN32
// Two pages of a file, mapped, then the file truncated to nothing: touching them raises
// SIGBUS, as for a file another program shortens while it is counted.
struct truncated_mapping {
    std::size_t size = 2 * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const volatile char* data = nullptr;

    truncated_mapping()
    {
        char name[] = "/tmp/pomvane-test-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0 || unlink(name) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0)
            throw std::runtime_error("cannot make a scratch file");
        void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED || ftruncate(fd, 0) != 0)
            throw std::runtime_error("cannot map a scratch file");
        close(fd);
        data = static_cast<const volatile char*>(map);
    }
    ~truncated_mapping() { munmap(const_cast<char*>(data), size); }
};

TEST(FaultGuard, AFaultInTheGuardedRangeEndsOnlyTheTouch)
{
    truncated_mapping gone;
    bool went_on = false;
    auto touch = [&]() noexcept {
        (void)gone.data[gone.size - 1];
        went_on = true;
    };
    EXPECT_FALSE(lib::guarded_touch(const_cast<const char*>(gone.data), gone.size, touch));
    EXPECT_FALSE(went_on);
    // The jump out of the handler left SIGBUS unblocked: a second fault is caught too, not
    // fatal.
    EXPECT_FALSE(lib::guarded_touch(const_cast<const char*>(gone.data), gone.size, touch));
    char readable = 0;
    auto fine = [&]() noexcept { went_on = readable == 0; };
    EXPECT_TRUE(lib::guarded_touch(&readable, 1, fine));
    EXPECT_TRUE(went_on);
}

void exit_42(int) { std::_Exit(42); }

// A fault outside the guarded pages is not ours: the handler there was before gets it, and
// without one the process dies as it would have, SIGBUS ignored or not (the kernel does not let
// a fault be ignored). A fresh process each, so that the guard's handler is installed after
// the test's own.
TEST(FaultGuardDeathTest, OtherFaultsGoWhereTheyWentBefore)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto fault_after_a_guarded_touch = [] {
        alarm(10); // a handler that returned would fault again for ever
        truncated_mapping gone;
        char readable = 0;
        auto fine = [&]() noexcept { (void)*static_cast<volatile char*>(&readable); };
        lib::guarded_touch(&readable, 1, fine);
        (void)gone.data[0];
    };
    EXPECT_EXIT(
        {
            std::signal(SIGBUS, exit_42);
            fault_after_a_guarded_touch();
        },
        testing::ExitedWithCode(42), "");
    // Killed by SIGBUS, or reported and ended by a sanitizer's own handler.
    const auto died_of_the_fault = [](int status) {
        return WIFSIGNALED(status) ? WTERMSIG(status) == SIGBUS : WIFEXITED(status) && WEXITSTATUS(status) != 0;
    };
    EXPECT_EXIT(fault_after_a_guarded_touch(), died_of_the_fault, "");
    EXPECT_EXIT(
        {
            std::signal(SIGBUS, SIG_IGN);
            fault_after_a_guarded_touch();
        },
        died_of_the_fault, "");
}
#endif

} // namespace

#ifdef _WIN32
TEST(Paths, ConvertBothWaysAndRefuseNamesWithoutAFaithfulForm)
{
    EXPECT_EQ(lib::to_utf16(lib::to_utf8(L"caf\u00e9 \U0001F600")), L"caf\u00e9 \U0001F600");
    // The empty path fails to open; U+FFFD in its place could name another, existing file.
    const std::wstring unpaired{L'a', static_cast<wchar_t>(0xD800), L'b'};
    EXPECT_EQ(lib::to_utf8(unpaired), "");
    EXPECT_EQ(lib::to_utf16("a\xff" "b"), L"");
}
#endif
