#include "os.h"

#include <unistd.h>

namespace lib::os {

std::uint32_t current_thread_id() noexcept
{
    return static_cast<std::uint32_t>(gettid());
}

} // namespace lib::os
