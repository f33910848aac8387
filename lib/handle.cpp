#include "handle.h"

#include <stdexcept>

namespace lib {

handle::~handle()
{
    close();
}

bool handle::is_valid() const noexcept
{
    return os::is_valid_handle(raw);
}

void handle::attach(native value) noexcept
{
    close();
    raw = value;
}

void handle::close() noexcept
{
    if (!is_valid())
        return;
    os::close_handle(raw);
    raw = nullptr;
}

handle& handle::assign(const handle& source) noexcept
{
    close();
    if (source.is_valid())
        raw = os::duplicate_handle(source.raw);
    return *this;
}

bool handle::wait() const
{
    if (!is_valid())
        throw std::logic_error("handle::wait");
    return os::wait_for_thread(raw);
}

} // namespace lib
