#pragma once

#include "engine/engine.h"
#include "engine/file_counts.h"
#include "present/words.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The counted files both windows list, each a name with its characters and lines, and how
// the rows are ordered, narrowed and written out for Copy and Save As.

// The list's columns, in the order shown.
enum class counted_column { file, characters, lines };
inline constexpr words file_column_words = PRESENT_WORDS("counted_list", "File");
inline constexpr words characters_column_words = PRESENT_WORDS("counted_list", "Characters");
inline constexpr words lines_column_words = PRESENT_WORDS("counted_list", "Lines");
inline constexpr words filter_words = PRESENT_WORDS("counted_list", "Filter by name");

// The engine's counted files as far as taken, kept compactly (file_counts): each refresh
// copies only the files counted since the last one.
class counted_list {
public:
    // Appends the files the engine counted since the last take; returns how many.
    std::size_t take(engine& counter);
    // Appends files taken from the engine meanwhile (engine::counted_files from size() on).
    void append(const file_counts& more) { files.append(more, 0); }
    // Empties the list, as the engine's reset empties its own.
    void clear() { files.clear(); }

    std::size_t size() const { return files.size(); }
    // The name as the windows show it (shown_name).
    std::string name(std::size_t row) const;
    std::string_view path(std::size_t row) const { return files.path(row); }
    std::uint64_t characters(std::size_t row) const { return files.characters(row); }
    std::uint64_t lines(std::size_t row) const { return files.lines(row); }

private:
    file_counts files;
};

// Whether a shown name passes the filter: it holds the filter's text, ASCII letters matched
// regardless of case. An empty filter passes every name.
bool name_matches(std::string_view name, std::string_view filter);

// The rows that pass the filter, ordered by the column: names by their bytes, numbers as
// numbers; rows that tie keep the order they were counted in.
std::vector<std::size_t> ordered_rows(const counted_list& list, counted_column by, bool descending,
                                      std::string_view filter);

// The rows as a table with a header of the column titles: tab-separated for the clipboard (a
// shown name holds no tab nor line end), or CSV (RFC 4180) for a file. Lines end in CRLF.
enum class table_form { tab_separated, csv };
std::string table_text(const counted_list& list, std::span<const std::size_t> rows, table_form form,
                       std::span<const std::string> titles);

// A CSV field (RFC 4180): quoted, with its quotes doubled, when it holds a comma, a quote or
// a line end; else as it is.
std::string csv_field(std::string_view text);
