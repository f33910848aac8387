#include "window_view.h"

#include "present/totals_text.h"

#include <algorithm>

std::string window_view::characters_text() const
{
    return decimal_text(totals.total_characters);
}

std::string window_view::lines_text() const
{
    return decimal_text(totals.total_lines);
}

window_view look_at(engine& counter)
{
    window_view view;
    // The totals after the state: a count that ends between the two shows its last totals
    // at once rather than a tick later.
    view.counting = counter.is_running();
    if (view.counting) {
        view.files_percent = std::min<std::uint32_t>(counter.files_percent(), 100);
        view.file_percent = static_cast<std::uint32_t>(std::clamp<std::int32_t>(counter.file_percent(), 0, 100));
    }
    view.totals = counter.totals();
    view.failures_not_kept = counter.failures_not_kept();
    return view;
}
