#pragma once

#include "engine/failure.h"

#include "engine/ignore_rules.h"

#include <string>
#include <vector>

// Finding and reading the files that hold rules, through a reader that the caller may
// replace with its own (a walk that reads relative to an open folder).
class ignore_file_reader {
public:
    virtual ~ignore_file_reader() = default;
    enum outcome { read, absent, failed };
    // The whole of the regular file at path; absent when there is none or it is no regular
    // file (or, without follow_link, is a symbolic link, which Git does not follow for
    // .gitignore); failed with the reason when it is there but cannot be read.
    virtual outcome read_file(const std::string& path, bool follow_link, std::string& contents,
                              failure_reason& reason) = 0;
    // Whether path names anything, a link followed (`.git` may be a folder or a file).
    virtual bool exists(const std::string& path) = 0;
    // The folder's absolute path with links resolved, as Git finds its work tree from;
    // false with the reason when it has none.
    virtual bool resolve(const std::string& folder, std::string& resolved, failure_reason& reason) = 0;
};

// The reader through the standard library, for the disk as it is.
class ignore_disk_reader : public ignore_file_reader {
public:
    outcome read_file(const std::string& path, bool follow_link, std::string& contents,
                      failure_reason& reason) override;
    bool exists(const std::string& path) override;
    bool resolve(const std::string& folder, std::string& resolved, failure_reason& reason) override;
};

// An ignore file that is there but could not be read: its rules are missing from the walk.
struct ignore_file_failure {
    std::string path;
    failure_reason reason; // the system's error, as ignore_rules_unread
};

// Where Git looks for the person's configuration: HOME and XDG_CONFIG_HOME.
struct git_user_files {
    std::string home;
    std::string xdg_config_home; // empty when unset or empty
    // From the environment (USERPROFILE stands in for HOME on Windows when HOME is unset).
    static git_user_files from_environment();
};

// The global excludes file's path: core.excludesFile of $XDG_CONFIG_HOME/git/config (or
// ~/.config/git/config) and then ~/.gitconfig, the later winning, read for a plain
// `[core] excludesFile = PATH` with quotes and a leading `~/`; a relative path is taken from
// the work tree's root. Without one, $XDG_CONFIG_HOME/git/ignore, else ~/.config/git/ignore.
// Not read: the system's and the repository's configuration, includes, `~user/`. A config
// file that cannot be read is added to failures.
std::string global_excludes_path(const git_user_files& user, const std::string& work_tree_root,
                                 ignore_file_reader& reader, std::vector<ignore_file_failure>& failures);

// The text of the info/exclude of the repository of the work tree at root: in .git when it
// is a folder, else where the .git file's `gitdir:` line points (and its `commondir`, for a
// linked work tree). Empty when there is none; a failed read is added to failures.
std::string read_info_exclude(const std::string& root, ignore_file_reader& reader,
                              std::vector<ignore_file_failure>& failures);

// The rules in force in the folder a walk starts from, entered from the root of its work
// tree down to the folder itself, or the folder alone when it lies in no work tree.
struct ignore_start {
    ignore_rules rules;
    std::string root; // the work tree's root, or the folder; empty when it could not be resolved
    std::vector<ignore_file_failure> failures;
};
ignore_start load_ignore_rules(const std::string& folder, ignore_file_reader& reader, const git_user_files& user);
