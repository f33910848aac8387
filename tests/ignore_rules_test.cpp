#include "engine/ignore_files.h"
#include "engine/ignore_rules.h"

#include "engine_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A path's case: the ignore files of each folder ("" for the root) and whether the entry at
// the path is skipped by a walk from the root, which enters each folder on the way unless
// the rules skip it.
struct corner {
    const char* what;
    std::map<std::string, std::string> gitignore;
    std::string path;
    bool is_folder;
    bool skipped;
    std::map<std::string, std::string> ignore = {};
    std::string global = {};
    std::string info_exclude = {};
    bool work_tree = true;
};

bool skipped(const corner& c)
{
    const auto text = [](const std::map<std::string, std::string>& files, const std::string& folder) {
        const auto found = files.find(folder);
        return found == files.end() ? std::string_view() : std::string_view(found->second);
    };
    ignore_rules rules(c.global);
    if (c.work_tree)
        rules.enter_work_tree("", text(c.gitignore, ""), text(c.ignore, ""), c.info_exclude);
    else
        rules.enter("", text(c.gitignore, ""), text(c.ignore, ""));
    std::string folder;
    std::string::size_type start = 0;
    for (std::string::size_type slash; (slash = c.path.find('/', start)) != std::string::npos; start = slash + 1) {
        const std::string name = c.path.substr(start, slash - start);
        if (rules.ignored(name, true))
            return true;
        folder = c.path.substr(0, slash);
        rules.enter(name, text(c.gitignore, folder), text(c.ignore, folder));
    }
    return rules.ignored(std::string_view(c.path).substr(start), c.is_folder);
}

void expect_corners(const std::vector<corner>& corners)
{
    for (const corner& c : corners)
        EXPECT_EQ(skipped(c), c.skipped) << c.what << ": " << c.path;
}

} // namespace

TEST(IgnoreRules, FollowsThePatternLanguage)
{
    expect_corners({
        {"an excluded folder's file cannot be re-included", {{"", "build/\n!build/keep.txt\n"}}, "build/keep.txt",
         false, true},
        {"excluded contents can be", {{"", "build/*\n!build/keep.txt\n"}}, "build/keep.txt", false, false},
        {"the last matching line decides", {{"", "*.o\n!keep.o\n"}}, "keep.o", false, false},
        {"the last matching line decides", {{"", "*.o\n!keep.o\n"}}, "sub/x.o", false, true},
        {"a name pattern matches at any depth", {{"", "*.o"}}, "a/b/c.o", false, true},
        {"leading **/ matches at any depth", {{"", "**/foo"}}, "a/b/foo", false, true},
        {"leading **/ matches at the top", {{"", "**/foo"}}, "foo", true, true},
        {"**/ in the middle matches no folder", {{"", "a/**/b"}}, "a/b", false, true},
        {"**/ in the middle matches several", {{"", "a/**/b"}}, "a/x/y/b", false, true},
        {"a middle slash anchors", {{"", "a/**/b"}}, "x/a/b", false, false},
        {"trailing /** takes what is inside", {{"", "abc/**"}}, "abc/x/y", false, true},
        {"trailing /** leaves the folder", {{"", "abc/**"}}, "abc", true, false},
        {"/a anchors to the file's folder", {{"sub", "/a"}}, "sub/a", false, true},
        {"/a anchors to the file's folder", {{"sub", "/a"}}, "sub/x/a", false, false},
        {"a/ takes folders only", {{"", "a/"}}, "a", false, false},
        {"a/ takes folders at any depth", {{"", "a/"}}, "x/a", true, true},
        {"* stops at /", {{"", "a/*.c"}}, "a/b/x.c", false, false},
        {"* within a name", {{"", "a/*.c"}}, "a/x.c", false, true},
        {"an escaped # is no comment", {{"", "\\#a\n#b\n"}}, "#a", false, true},
        {"a comment matches nothing", {{"", "\\#a\n#b\n"}}, "#b", false, false},
        {"an escaped ! is no negation", {{"", "*\n\\!b\n!c\n"}}, "!b", false, true},
        {"trailing spaces are dropped", {{"", "a  \n"}}, "a", false, true},
        {"trailing spaces are dropped", {{"", "a  \n"}}, "a ", false, false},
        {"an escaped trailing space stays", {{"", "b\\ \n"}}, "b ", false, true},
        {"an escaped trailing space stays", {{"", "b\\ \n"}}, "b", false, false},
        {"[!...] and ranges", {{"", "[!a]x\n[b-c]y\n[]]z\n"}}, "bx", false, true},
        {"[!...] and ranges", {{"", "[!a]x\n[b-c]y\n[]]z\n"}}, "ax", false, false},
        {"[!...] and ranges", {{"", "[!a]x\n[b-c]y\n[]]z\n"}}, "cy", false, true},
        {"[!...] and ranges", {{"", "[!a]x\n[b-c]y\n[]]z\n"}}, "]z", false, true},
        {"CRLF line ends", {{"", "a\r\nb\r\n"}}, "a", false, true},
    });
}

TEST(IgnoreRules, WeighsTheirSources)
{
    const std::string global = "*.log\n*.c\n";
    const std::string exclude = "!keep.log\n";
    expect_corners({
        {"the global file applies", {}, "x.log", false, true, {}, global, exclude},
        {"info/exclude over the global file", {}, "keep.log", false, false, {}, global, exclude},
        {".gitignore over both", {{"sub", "!sub.log"}}, "sub/sub.log", false, false, {}, global, exclude},
        {"the global file's path patterns start at the root", {}, "a/x.c", false, true, {}, "/a/*.c"},
        {".ignore over .gitignore in one folder", {{"", "*.tmp"}}, "a.tmp", false, false, {{"", "!a.tmp"}}},
        {"a deeper .gitignore over a .ignore above", {{"sub", "b.tmp"}}, "sub/b.tmp", false, true, {{"", "!b.tmp"}}},
        {"outside a work tree, no .gitignore", {{"", "*.tmp"}}, "a.tmp", false, false, {}, global, "", false},
        {"outside a work tree, no global file", {}, "a.log", false, false, {}, global, "", false},
        {"outside a work tree, .ignore", {}, "a.bak", false, true, {{"", "*.bak"}}, "", "", false},
        {".git is never walked", {{"", "!.git\n"}}, ".git", true, true},
        {".git is never walked, outside a work tree too", {}, "sub/.git", false, true, {}, "", "", false},
    });
}

#ifndef _WIN32
namespace {

std::string quoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The NUL-separated output of a shell command; false when it could not run or failed.
bool run(const std::string& command, std::vector<std::string>& lines)
{
    FILE* const pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return false;
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    std::istringstream split(output);
    for (std::string line; std::getline(split, line, '\0');)
        lines.push_back(line);
    return ::pclose(pipe) == 0;
}

void write_file(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The files a walk keeps below folder, entered already, as the engine's walk will do it:
// each folder's files read as it is entered, each entry judged by name.
void keep_files(ignore_rules& rules, const fs::path& folder, const std::string& prefix, std::set<std::string>& kept,
                std::set<std::string>& entered)
{
    ignore_disk_reader reader;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const bool is_folder = entry.is_directory() && !entry.is_symlink();
        if (rules.ignored(name, is_folder))
            continue;
        if (!is_folder) {
            kept.insert(prefix + name);
            continue;
        }
        std::string gitignore;
        std::string ignore;
        failure_reason reason;
        reader.read_file((entry.path() / ".gitignore").string(), false, gitignore, reason);
        reader.read_file((entry.path() / ".ignore").string(), false, ignore, reason);
        rules.enter(name, gitignore, ignore);
        entered.insert(prefix + name);
        keep_files(rules, entry.path(), prefix + name + "/", kept, entered);
        rules.leave();
    }
}

// Random trees and ignore files, with names and patterns drawn from a few pieces so that
// they meet often, and Git's own listing of the files it would not ignore.
class random_case {
public:
    random_case(std::mt19937& random, const fs::path& repo, const fs::path& home)
        : random(random), repo(repo), home(home)
    {
        make_tree("", 0);
        info_exclude = rules_text();
        global_mode = below(5);
        global = rules_text();
    }

    // Writes the case for Git (pass 1) or for the matcher (pass 2). Git does not read
    // .ignore, so it gets each folder's .ignore appended to its .gitignore, which is what
    // their order in one folder means; an empty .ignore stands in, so that both passes hold
    // the same names.
    void write(bool for_git) const
    {
        for (const auto& [folder, texts] : ignore_files) {
            const auto& [gitignore, ignore] = texts;
            if (ignore.empty()) {
                write_file(repo / folder / ".gitignore", gitignore);
                continue;
            }
            write_file(repo / folder / ".gitignore", for_git ? gitignore + "\n" + ignore : gitignore);
            write_file(repo / folder / ".ignore", for_git ? "" : ignore);
        }
    }

    // Sets up the person's configuration: XDG_CONFIG_HOME set or not, the global file at
    // its default place or named by core.excludesFile in one of several spellings.
    git_user_files write_user() const
    {
        write_file(repo / ".git/info/exclude", info_exclude);
        git_user_files user{home.string(), global_mode == 0 ? "" : (home / "xdg").string()};
        const std::string xdg = user.xdg_config_home.empty() ? (home / ".config").string() : user.xdg_config_home;
        switch (global_mode) {
        case 0:
        case 1:
            write_file(fs::path(xdg) / "git/ignore", global);
            break;
        case 2:
            write_file(home / ".gitconfig", "[user]\n\tname = x\n[core]\n\texcludesFile = ~/my ignore\n");
            write_file(home / "my ignore", global);
            break;
        case 3:
            write_file(home / ".gitconfig", "[core] excludesfile = \"~/my ignore\" ; the global one\n");
            write_file(home / "my ignore", global);
            write_file(fs::path(xdg) / "git/ignore", "*\n"); // not read: core.excludesFile is set
            break;
        default:
            // ~/.gitconfig is read after the XDG file: its value wins.
            write_file(fs::path(xdg) / "git/config", "[Core]\nExcludesFile=" + (home / "no such").string() + "\n");
            write_file(home / ".gitconfig", "[core]\n\texcludesFile = " + (home / "other").string() + "\n");
            write_file(home / "other", global);
        }
        return user;
    }

    // The case's files, for a failure message.
    std::string describe() const
    {
        std::ostringstream text;
        text << "info/exclude:\n" << info_exclude << "\nglobal (mode " << global_mode << "):\n" << global << '\n';
        for (const auto& [folder, texts] : ignore_files)
            text << "/" << folder << ".gitignore:\n"
                 << texts.first << "\n/" << folder << ".ignore:\n"
                 << texts.second << '\n';
        return text.str();
    }

    std::vector<std::string> folders;

private:
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); }
    bool chance(std::size_t percent) { return below(100) < percent; }

    std::string name()
    {
        static const char* const pieces[] = {"a", "b", "ab", ".o", "#", "!", " ", "*", "[a]", "\\",
                                             "-", "a", "]", "^", ":", "[", "?", "\t", "\r", "o"};
        std::string made; // never "." or ".."
        for (std::size_t i = 0, n = 1 + below(2); i < n; ++i)
            made += pieces[below(std::size(pieces))];
        return made;
    }

    std::string segment()
    {
        // Unclosed sets, unknown classes and lone backslashes too: Git says what they match.
        static const char* const tokens[] = {
            "a", "b", "ab", ".o", "*", "?", "**", "[ab]", "[!a]", "[a-b]", "[[:alpha:]]", "\\#", "\\!", "\\*",
            "\\ ", "\\\\", "#", "!", " ", "[", "]", "-", "\\[a]", "a*", "*.o", "a**", "**a", "[a-]", "[!]", "[]a]",
            "[[:foo:]]", "[[:a]", "[^a]", "[\\]]", "\\", "/", "[a/b]", "***", "[[:punct:]]", "[[:space:]]"};
        std::string made;
        for (std::size_t i = 0, n = 1 + below(3); i < n; ++i)
            made += tokens[below(std::size(tokens))];
        return made;
    }

    std::string line()
    {
        const std::size_t kind = below(100);
        if (kind < 5)
            return "";
        if (kind < 10)
            return "#" + segment();
        std::string made = chance(25) ? "!" : "";
        made += chance(15) ? "/" : "";
        made += chance(10) ? "**/" : "";
        made += segment();
        while (chance(30))
            made += "/" + segment();
        made += chance(8) ? "/**" : "";
        made += chance(25) ? "/" : "";
        made += chance(10) ? std::string(1 + below(2), ' ') : "";
        return made;
    }

    std::string rules_text()
    {
        std::string text;
        const char* const end = chance(15) ? "\r\n" : "\n";
        for (std::size_t i = 0, n = below(5); i < n; ++i)
            text += line() + end;
        if (!text.empty() && chance(20))
            text.pop_back(); // no final line end
        return text;
    }

    void make_tree(const std::string& folder, int depth)
    {
        for (std::size_t i = 0, n = 1 + below(4); i < n; ++i) {
            const std::string entry = folder + name();
            if (fs::exists(repo / entry))
                continue;
            if (depth < 3 && chance(40)) {
                fs::create_directory(repo / entry);
                folders.push_back(entry);
                make_tree(entry + "/", depth + 1);
            } else {
                write_file(repo / entry, "");
            }
        }
        const bool gitignore = chance(60);
        const bool ignore = chance(25);
        if (gitignore || ignore)
            ignore_files[folder] = {gitignore ? rules_text() : "", ignore ? rules_text() : ""};
    }

    std::mt19937& random;
    fs::path repo;
    fs::path home;
    std::map<std::string, std::pair<std::string, std::string>> ignore_files; // folder (with '/'): both texts
    std::string info_exclude;
    std::string global;
    std::size_t global_mode = 0;
};

} // namespace

TEST(IgnoreRules, KeepWhatGitLists)
{
    std::vector<std::string> version;
    if (!run("git --version", version)) {
        const char* why = "git is needed to compare with";
        if (std::getenv("CI"))
            FAIL() << why;
        GTEST_SKIP() << why;
    }
    const scratch_dir dir;
    const fs::path repo = dir.folder() / "repo";
    const fs::path home = dir.folder() / "home";
    // Git reads no configuration but the case's own.
    for (const char* variable : {"GIT_DIR", "GIT_WORK_TREE", "GIT_CONFIG_GLOBAL", "GIT_CONFIG_SYSTEM",
                                 "GIT_CONFIG_PARAMETERS", "GIT_CONFIG_COUNT", "GIT_CEILING_DIRECTORIES"})
        ::unsetenv(variable);
    ::setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
    ::setenv("HOME", home.c_str(), 1);
    fs::create_directories(repo);
    std::vector<std::string> output;
    ASSERT_TRUE(run("git init -q " + quoted(repo.string()), output));

    std::mt19937 random(20240611);
    ignore_disk_reader reader;
    for (int number = 0; number < 300; ++number) {
        for (const fs::directory_entry& entry : fs::directory_iterator(repo))
            if (entry.path().filename() != ".git")
                fs::remove_all(entry.path());
        fs::remove_all(home);
        const random_case made(random, repo, home);
        const git_user_files user = made.write_user();
        if (user.xdg_config_home.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", user.xdg_config_home.c_str(), 1);
        made.write(true);
        std::vector<std::string> listed;
        ASSERT_TRUE(run("git -C " + quoted(repo.string()) + " ls-files -o --exclude-standard -z", listed));
        const std::set<std::string> from_root(listed.begin(), listed.end());

        made.write(false);
        ignore_start start = load_ignore_rules(repo.string(), reader, user);
        ASSERT_TRUE(start.failures.empty()) << start.failures[0].path << ": error " << start.failures[0].reason.code;
        std::set<std::string> kept;
        std::set<std::string> entered;
        keep_files(start.rules, repo, "", kept, entered);
        ASSERT_EQ(kept, from_root) << "case " << number << '\n' << made.describe();

        // From a folder below that is walked, with the rules of the folders above loaded:
        // what Git lists there, as it lists it from the root.
        const std::string below = made.folders.empty() ? "" : made.folders[random() % made.folders.size()];
        if (!entered.contains(below))
            continue;
        std::set<std::string> from_below;
        for (const std::string& path : from_root)
            if (path.starts_with(below + "/"))
                from_below.insert(path.substr(below.size() + 1));
        start = load_ignore_rules((repo / below).string(), reader, user);
        kept.clear();
        keep_files(start.rules, repo / below, "", kept, entered);
        ASSERT_EQ(kept, from_below) << "case " << number << " from " << below << '\n' << made.describe();
    }
}
#endif
