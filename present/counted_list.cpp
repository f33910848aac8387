#include "counted_list.h"

#include "present/shown_name.h"
#include "present/totals_text.h"

#include <algorithm>
#include <numeric>

std::size_t counted_list::take(engine& counter)
{
    const std::size_t before = files.size();
    counter.counted_files(before, files);
    return files.size() - before;
}

std::string counted_list::name(std::size_t row) const
{
    return shown_name(files.path(row));
}

bool name_matches(std::string_view name, std::string_view filter)
{
    const auto folded = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return filter.empty() || !std::ranges::search(name, filter, {}, folded, folded).empty();
}

std::vector<std::size_t> ordered_rows(const counted_list& list, counted_column by, bool descending,
                                      std::string_view filter)
{
    std::vector<std::size_t> rows;
    for (std::size_t row = 0; row < list.size(); ++row)
        if (filter.empty() || name_matches(list.name(row), filter))
            rows.push_back(row);
    const auto before = [&](std::size_t a, std::size_t b) {
        if (descending)
            std::swap(a, b);
        switch (by) {
        case counted_column::file:
            return list.path(a) < list.path(b);
        case counted_column::characters:
            return list.characters(a) < list.characters(b);
        case counted_column::lines:
            return list.lines(a) < list.lines(b);
        }
        return false;
    };
    std::ranges::stable_sort(rows, before);
    return rows;
}

std::string csv_field(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

std::string table_text(const counted_list& list, std::span<const std::size_t> rows, table_form form,
                       std::span<const std::string> titles)
{
    const char separator = form == table_form::csv ? ',' : '\t';
    const auto field = [&](std::string_view text) {
        return form == table_form::csv ? csv_field(text) : std::string(text);
    };
    std::string text;
    for (std::size_t column = 0; column < titles.size(); ++column)
        text += (column == 0 ? "" : std::string(1, separator)) + field(titles[column]);
    text += "\r\n";
    for (const std::size_t row : rows) {
        text += field(list.name(row));
        text += separator + decimal_text(list.characters(row)) + separator + decimal_text(list.lines(row)) + "\r\n";
    }
    return text;
}
