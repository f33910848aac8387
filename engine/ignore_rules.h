#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Which entries of a folder walk the person's Git would leave out, in gitignore's pattern
// language, plus the .ignore files that other search tools honour. No reading here: the
// walk hands in the text of each folder's files as it enters the folder, so the rules are
// parsed once per folder and a name is judged without touching the disk.
//
// Precedence, highest first; within one file the last matching line decides:
//   1. the folders from the one holding the entry up to the root of the rules, deepest
//      first; in each, its .ignore before its .gitignore (a .ignore speaks for that folder
//      over what Git is told), .gitignore only inside a work tree;
//   2. the work tree's info/exclude, then the global excludes file.
// A deeper folder's .gitignore thus overrides a .ignore above it, as Git's deeper files
// override shallower ones: one rule for both kinds rather than ripgrep's "every .ignore
// above every .gitignore". .gitignore files of an outer work tree stop applying in a work
// tree nested in it; .ignore files apply across both.
//
// An excluded folder is not entered, so nothing in it can be re-included, as in Git. The
// folder a walk starts from is entered whatever the rules say of it or of the folders above.
// Names are compared byte for byte (core.ignoreCase off).
class ignore_rules {
public:
    // global_excludes: the text of Git's global excludes file (core.excludesFile), which
    // applies in every work tree entered.
    explicit ignore_rules(std::string_view global_excludes = {});

    // Enters a folder below the one entered last, by its name, with the text of its
    // .gitignore (honoured inside a work tree only) and of its .ignore, empty for none. The
    // first folder entered is the root of the rules (the work tree's root, or the folder
    // walked when it lies in none), with an empty name.
    void enter(std::string_view name, std::string_view gitignore, std::string_view ignore);
    // The same for a folder that holds .git: a work tree starts here, with its repository's
    // info/exclude; the .gitignore files of the folders above stop applying.
    void enter_work_tree(std::string_view name, std::string_view gitignore, std::string_view ignore,
                         std::string_view info_exclude);
    // Leaves the folder entered last.
    void leave();
    // How many folders are entered: the root is 1.
    std::size_t depth() const { return levels.size(); }
    // Whether the folder entered last lies in a work tree, so that its .gitignore counts.
    bool in_work_tree() const { return !levels.empty() && levels.back().work_tree != no_work_tree; }
    // Whether an entry of the folder entered last is left out. A `.git` never is walked.
    // Not const: the entry's path is put together in a buffer kept for the next call.
    bool ignored(std::string_view name, bool is_folder);

private:
    struct pattern {
        std::size_t at;      // where its text starts in `texts`
        std::size_t length;  // without a leading '!', a leading '/' of a path pattern, or the final '/'
        std::size_t literal; // how many bytes from the start hold no wildcard or escape
        std::uint8_t flags;
    };
    static constexpr std::size_t no_work_tree = SIZE_MAX;
    struct level {
        std::size_t path_length; // of `path` when this folder is entered
        std::size_t work_tree;   // the level of its work tree's root, or no_work_tree
        // Its patterns in `patterns`: info/exclude, .gitignore, .ignore, one after another.
        std::size_t exclude_begin, gitignore_begin, ignore_begin, end;
        std::size_t text_begin; // where its patterns' texts start in `texts`
    };

    void parse(std::string_view text);
    void enter(std::string_view name, std::string_view gitignore, std::string_view ignore, bool work_tree,
               std::string_view info_exclude);
    // The pattern matching the entry that wins, among those of [begin, end) whose paths
    // start at base; nullptr for none.
    const pattern* last_match(std::size_t begin, std::size_t end, std::size_t base, std::string_view name,
                              bool is_folder);

    std::string texts; // every pattern's text, end to end
    std::vector<pattern> patterns; // the global excludes first, then each level's
    std::size_t global_end = 0;
    std::vector<level> levels;
    // The path of the folder entered last from the root of the rules, each name followed
    // by '/'; while ignored() runs, the name judged too, once a path pattern needs it.
    std::string path;
};
