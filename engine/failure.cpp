#include "failure.h"

#include "lib/os.h"

failure_reason failure_reason::system(unsigned long code)
{
    return {lib::os::is_missing(code) ? missing : system_error, static_cast<std::uint32_t>(code), 0};
}
