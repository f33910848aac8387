#include "present/counted_list.h"
#include "present/failure_text.h"
#include "present/shown_name.h"
#include "present/window_options.h"
#include "present/words.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Reads a reversibly written name back: "\\" is a backslash, "\xNN" a byte, any other
// backslash itself.
std::string read_back(const std::string& written)
{
    std::string name;
    for (std::size_t at = 0; at < written.size(); ++at) {
        if (written.compare(at, 2, "\\\\") == 0) {
            name += '\\';
            ++at;
        } else if (written.compare(at, 2, "\\x") == 0 && at + 4 <= written.size()
                   && std::isxdigit(static_cast<unsigned char>(written[at + 2]))
                   && std::isxdigit(static_cast<unsigned char>(written[at + 3]))) {
            name += static_cast<char>(std::stoi(written.substr(at + 2, 2), nullptr, 16));
            at += 3;
        } else {
            name += written[at];
        }
    }
    return name;
}

} // namespace

TEST(ShownName, EscapesWhatIsNoValidCharacterAndEveryControl)
{
    // Valid characters of 1 to 4 bytes stay whole, a backslash too.
    EXPECT_EQ(shown_name("caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80 C:\\x64\\a"),
              "caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80 C:\\x64\\a");
    // C0, DEL and C1 controls.
    EXPECT_EQ(shown_name("a\nb\tc\x1b[1m\x7f\xc2\x9b\xc2\xa0"), "a\\x0Ab\\x09c\\x1B[1m\\x7F\\xC2\\x9B\xc2\xa0");
    // A stray byte, a sequence cut short, an overlong form, a surrogate, past U+10FFFF: each
    // byte that is no part of a character alone.
    EXPECT_EQ(shown_name("\xe9t\xe9"), "\\xE9t\\xE9");
    EXPECT_EQ(shown_name("\xe2\x9c"), "\\xE2\\x9C");
    EXPECT_EQ(shown_name("\xc0\x80\xe0\x80\x80"), "\\xC0\\x80\\xE0\\x80\\x80");
    EXPECT_EQ(shown_name("\xed\xa0\x80"), "\\xED\\xA0\\x80");
    EXPECT_EQ(shown_name("\xf4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");
    EXPECT_EQ(shown_name(std::string("a\0b", 3)), "a\\x00b");
}

TEST(ShownName, ReversibleFormDoublesOnlyBackslashesThatCouldBeTakenForEscapes)
{
    EXPECT_EQ(shown_name("C:\\dir\\file", name_form::reversible), "C:\\dir\\file");
    EXPECT_EQ(shown_name("C:\\x64\\", name_form::reversible), "C:\\\\x64\\\\");
    EXPECT_EQ(shown_name("a\\\nb", name_form::reversible), "a\\\\\\x0Ab");
    const std::vector<std::string> names{
        "plain", "a\\x41", "\\\\x41", "\\\\\\", "\\", "x\\", "\\\xff", "\\x0A\n", "\\xZZ", "back\\slash\\\\",
        std::string("\0\\\0", 3), "tab\\\there"};
    for (const std::string& name : names) {
        const std::string written = shown_name(name, name_form::reversible);
        EXPECT_EQ(read_back(written), name) << written;
        EXPECT_EQ(written.find('\n'), std::string::npos) << written;
    }
}

// The rows the Windows list shows: numbers ordered by value, ties in counting order, names
// narrowed in either case; and the table Save As writes, read back field by field.
TEST(CountedList, OrdersByValueFiltersByNameAndQuotesCsv)
{
    file_counts files;
    files.push_back("/d/b2", 3, 2);
    files.push_back("/d/a10", 20, 10);
    files.push_back("/d/B9, \"x\"", 18, 9);
    files.push_back("/d/c9", 5, 9);
    counted_list list;
    list.append(files);
    EXPECT_EQ(ordered_rows(list, counted_column::lines, false, ""), (std::vector<std::size_t>{0, 2, 3, 1}));
    EXPECT_EQ(ordered_rows(list, counted_column::lines, true, ""), (std::vector<std::size_t>{1, 2, 3, 0}));
    EXPECT_EQ(ordered_rows(list, counted_column::characters, false, "/B"), (std::vector<std::size_t>{0, 2}));
    const std::vector<std::size_t> rows{2, 0};
    EXPECT_EQ(table_text(list, rows, table_form::csv, std::vector<std::string>{"File", "Characters", "Lines"}),
              "File,Characters,Lines\r\n\"/d/B9, \"\"x\"\"\",18,9\r\n/d/b2,3,2\r\n");
}

TEST(Words, FillsEveryMarkInOnePass)
{
    EXPECT_EQ(fill("%1 (%2 failed to open)", {"7", "2"}), "7 (2 failed to open)");
    // A value holding a mark is not filled again; a mark without a value stays.
    EXPECT_EQ(fill("%2 after %1 %3%", {"%2", "x"}), "x after %2 %3%");
    const std::string read_error = failure_text(failure_reason::read_failed(12, EIO), failure_reader::tool);
    EXPECT_TRUE(read_error.starts_with("read error after 12 bytes: ")) << read_error;
    EXPECT_GT(read_error.size(), std::string("read error after 12 bytes: ").size());
    EXPECT_EQ(failure_text({failure_reason::missing, ENOENT, 0}, failure_reader::tool), "No such file or directory");
}

TEST(WindowOptions, TakesFilesAndOptionsUntilTheDashes)
{
    const window_options given = parse_window_options({"a.txt", "--new-window", "-", "-r", "--", "--help", "-v"});
    EXPECT_EQ(given.what, window_options::action::open);
    EXPECT_TRUE(given.new_window);
    EXPECT_TRUE(given.walk_folders);
    EXPECT_EQ(given.files, (std::vector<std::string>{"a.txt", "-", "--help", "-v"}));
    EXPECT_EQ(parse_window_options({"-rv", "a"}).what, window_options::action::version);
    EXPECT_EQ(parse_window_options({"--version", "--help"}).what, window_options::action::help);
    // An unknown option anywhere is the answer, named as given.
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--help", "--bogus"}, {"-rx"}, {"--new-window=1"}, {"-help"}}) {
        const window_options refused = parse_window_options(wrong);
        EXPECT_EQ(refused.what, window_options::action::usage_error) << wrong.back();
        EXPECT_EQ(refused.error, "Unknown option '" + wrong.back() + "'.");
    }
    EXPECT_EQ(parse_window_options({"-\n"}).error, "Unknown option '-\\x0A'.");
}

// A message box lays the help out in a proportional font and wraps lines past about 55
// characters where it likes (wine's): no tabs, short lines, and each option's name at the
// start of a line of its own.
TEST(WindowOptions, HelpReadsInAMessageBox)
{
    std::istringstream help(window_help("pomvane.exe"));
    std::string line;
    std::getline(help, line);
    EXPECT_EQ(line, "Usage: pomvane.exe [OPTION...] [--] [FILE...]");
    std::vector<std::string> options;
    while (std::getline(help, line)) {
        EXPECT_LE(line.size(), 46u) << line;
        EXPECT_EQ(line.find('\t'), std::string::npos) << line;
        if (line.starts_with("  -"))
            options.push_back(line.substr(2));
    }
    EXPECT_EQ(options, (std::vector<std::string>{"-r, --recursive", "--new-window", "-h, --help", "-v, --version", "--"}));
}
