#include "failed_list.h"

#include "present/shown_name.h"
#include "present/totals_text.h"

std::vector<failed_row> take_failed_rows(engine& counter, std::size_t& listed)
{
    std::vector<engine::failure> failures = counter.failures(listed);
    listed += failures.size();
    std::vector<failed_row> rows;
    rows.reserve(failures.size());
    for (const engine::failure& failure : failures)
        rows.push_back({shown_name(failure.path), failure.reason});
    return rows;
}

std::string row_line(std::string_view name, std::string_view reason)
{
    std::string line(name);
    line += ": ";
    line += reason;
    return line;
}

std::string not_kept_text(std::uint64_t not_kept, std::string_view worded)
{
    return fill(worded, {decimal_text(not_kept)});
}
