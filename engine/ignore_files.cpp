#include "ignore_files.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include "lib/paths.h"
#endif

namespace fs = std::filesystem;

namespace {

// Paths are UTF-8 strings in the engine; std::filesystem takes them as such on every platform.
fs::path native(const std::string& path)
{
    return fs::path(std::u8string(path.begin(), path.end()));
}

std::string utf8(const fs::path& path)
{
    const std::u8string bytes = path.u8string();
    return {bytes.begin(), bytes.end()};
}

// The system's message without the final full stop and line end that some carry.
// An ignore file that could not be read, with the system's error where there is one.
failure_reason unread(int code)
{
    return {failure_reason::ignore_rules_unread, static_cast<std::uint32_t>(code), 0};
}

bool no_such_file(const std::error_code& error)
{
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

std::string read_rules(ignore_file_reader& reader, const std::string& path, bool follow_link,
                       std::vector<ignore_file_failure>& failures)
{
    std::string contents;
    failure_reason reason;
    if (path.empty())
        return {};
    const ignore_file_reader::outcome outcome = reader.read_file(path, follow_link, contents, reason);
    if (outcome == ignore_file_reader::read)
        return contents;
    if (outcome == ignore_file_reader::failed)
        failures.push_back({path, reason});
    return {};
}

bool same_letters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20); // ASCII letters only: config names are ASCII
           });
}

bool is_name_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The last core.excludesFile of a git-config text, for the plain forms: `[core]` (a key may
// follow on the same line), `excludesFile = value`, with quotes, \" \\ \t \n escapes and
// comments. Anything else is passed over; a line Git would call malformed sets nothing.
bool config_excludes_file(std::string_view text, std::string& value)
{
    bool in_core = false;
    bool found = false;
    std::size_t i = 0;
    const auto at = [&](std::size_t n) { return n < text.size() ? text[n] : '\n'; };
    const auto skip_line = [&] {
        while (i < text.size() && text[i] != '\n')
            ++i;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '#' || c == ';') {
            skip_line();
        } else if (c == '[') {
            const std::size_t name = ++i;
            while (is_name_char(at(i)))
                ++i;
            // `[core "sub"]` and `[core.sub]` are other sections.
            in_core = at(i) == ']' && same_letters(text.substr(name, i - name), "core");
            while (at(i) != ']' && at(i) != '\n')
                ++i;
            if (at(i) == ']')
                ++i;
        } else if (is_name_char(c)) {
            const std::size_t name = i;
            while (is_name_char(at(i)))
                ++i;
            const std::string_view key = text.substr(name, i - name);
            while (at(i) == ' ' || at(i) == '\t')
                ++i;
            if (at(i) != '=') {
                skip_line(); // a key without a value is true: no path
                continue;
            }
            ++i;
            std::string parsed;
            std::size_t spaces = 0;
            bool quoted = false;
            bool valid = true;
            for (; i < text.size(); ++i) {
                char v = text[i];
                if (v == '\r' && at(i + 1) == '\n')
                    continue;
                if (v == '\n') {
                    valid = valid && !quoted;
                    break;
                }
                if (!quoted && (v == ' ' || v == '\t')) {
                    spaces += parsed.empty() ? 0 : 1;
                    continue;
                }
                if (!quoted && (v == '#' || v == ';')) {
                    skip_line();
                    break;
                }
                parsed.append(spaces, ' ');
                spaces = 0;
                if (v == '"') {
                    quoted = !quoted;
                    continue;
                }
                if (v == '\\') {
                    v = at(++i);
                    if (v == '\r' && at(i + 1) == '\n')
                        v = text[++i];
                    if (v == '\n')
                        continue; // the value goes on on the next line
                    if (v == 't')
                        v = '\t';
                    else if (v == 'n')
                        v = '\n';
                    else if (v == 'b')
                        v = '\b';
                    else if (v != '\\' && v != '"')
                        valid = false;
                }
                parsed.push_back(v);
            }
            if (in_core && valid && same_letters(key, "excludesfile")) {
                value = std::move(parsed);
                found = true;
            }
        } else {
            skip_line();
        }
    }
    return found;
}

} // namespace

ignore_file_reader::outcome ignore_disk_reader::read_file(const std::string& path, bool follow_link,
                                                          std::string& contents, failure_reason& reason)
{
    const fs::path file = native(path);
    std::error_code error;
    const fs::file_status status = follow_link ? fs::status(file, error) : fs::symlink_status(file, error);
    if (error) {
        if (no_such_file(error))
            return absent;
        reason = unread(error.value());
        return failed;
    }
    // Never a FIFO or device, whose reading could wait for ever.
    if (!fs::is_regular_file(status))
        return absent;
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        reason = unread(errno != 0 ? errno : EIO);
        return failed;
    }
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        reason = unread(EIO);
        return failed;
    }
    return read;
}

bool ignore_disk_reader::exists(const std::string& path)
{
    std::error_code error;
    return fs::exists(native(path), error);
}

bool ignore_disk_reader::resolve(const std::string& folder, std::string& resolved, failure_reason& reason)
{
    std::error_code error;
    const fs::path real = fs::canonical(native(folder), error);
    if (error) {
        reason = unread(error.value());
        return false;
    }
    resolved = utf8(real);
    return true;
}

git_user_files git_user_files::from_environment()
{
    const auto variable = [](const char* name) -> std::string {
#ifdef _WIN32
        // The environment in UTF-16, as paths are kept.
        const std::wstring wide(name, name + std::char_traits<char>::length(name));
        const wchar_t* value = _wgetenv(wide.c_str());
        return value != nullptr ? lib::to_utf8(value) : std::string();
#else
        const char* value = std::getenv(name);
        return value != nullptr ? value : "";
#endif
    };
    git_user_files user{variable("HOME"), variable("XDG_CONFIG_HOME")};
#ifdef _WIN32
    if (user.home.empty())
        user.home = variable("USERPROFILE");
#endif
    return user;
}

std::string global_excludes_path(const git_user_files& user, const std::string& work_tree_root,
                                 ignore_file_reader& reader, std::vector<ignore_file_failure>& failures)
{
    const std::string xdg_git = !user.xdg_config_home.empty() ? user.xdg_config_home + "/git"
                                : !user.home.empty()           ? user.home + "/.config/git"
                                                               : std::string();
    std::string value;
    bool set = false;
    // Git reads the XDG file first, so ~/.gitconfig has the last word.
    for (const std::string& config : {xdg_git.empty() ? xdg_git : xdg_git + "/config",
                                      user.home.empty() ? user.home : user.home + "/.gitconfig"})
        set = config_excludes_file(read_rules(reader, config, true, failures), value) || set;
    if (!set)
        return xdg_git.empty() ? xdg_git : xdg_git + "/ignore";
    if (value.empty())
        return value;
    if (value == "~" || value.starts_with("~/"))
        value = user.home + value.substr(1);
    const fs::path path = native(value);
    return path.is_absolute() ? value : utf8(native(work_tree_root) / path);
}

std::string read_info_exclude(const std::string& root, ignore_file_reader& reader,
                              std::vector<ignore_file_failure>& failures)
{
    const fs::path dot_git = native(root) / ".git";
    fs::path git_dir = dot_git;
    std::string text;
    failure_reason reason;
    switch (reader.read_file(utf8(dot_git), true, text, reason)) {
    case ignore_file_reader::absent: // a folder
        break;
    case ignore_file_reader::failed:
        failures.push_back({utf8(dot_git), reason});
        return {};
    case ignore_file_reader::read: {
        // A file that points to the repository: "gitdir: PATH".
        std::string_view line(text);
        line = line.substr(0, line.find('\n'));
        while (line.ends_with('\r') || line.ends_with(' '))
            line.remove_suffix(1);
        if (!line.starts_with("gitdir: ") || line.size() == 8) {
            failures.push_back({utf8(dot_git), unread(0)}); // no "gitdir: " line
            return {};
        }
        git_dir = native(root) / native(std::string(line.substr(8)));
        // A linked work tree's info/exclude is the main repository's, found by commondir.
        std::string common = read_rules(reader, utf8(git_dir / "commondir"), true, failures);
        while (!common.empty() && (common.back() == '\n' || common.back() == '\r'))
            common.pop_back();
        if (!common.empty())
            git_dir /= native(common);
        break;
    }
    }
    return read_rules(reader, utf8(git_dir / "info" / "exclude"), true, failures);
}

ignore_start load_ignore_rules(const std::string& folder, ignore_file_reader& reader, const git_user_files& user)
{
    ignore_start start;
    std::string resolved;
    failure_reason reason;
    if (!reader.resolve(folder, resolved, reason)) {
        start.rules.enter({}, {}, {}); // the walk meets the folder's own failure when it opens it
        return start;
    }
    const fs::path given = native(resolved);
    fs::path root = given;
    bool work_tree = false;
    for (fs::path at = given;; at = at.parent_path()) {
        if (reader.exists(utf8(at / ".git"))) {
            root = at;
            work_tree = true;
            break;
        }
        if (at == at.parent_path())
            break;
    }
    start.root = utf8(root);
    if (work_tree)
        start.rules = ignore_rules(
            read_rules(reader, global_excludes_path(user, start.root, reader, start.failures), true, start.failures));

    // Every folder from the root down to the one given, each with its own files. Git does not
    // follow a .gitignore that is a link; neither is a .ignore followed.
    const auto enter = [&](const fs::path& at, std::string_view name) {
        const std::string gitignore =
            work_tree ? read_rules(reader, utf8(at / ".gitignore"), false, start.failures) : std::string();
        const std::string ignore = read_rules(reader, utf8(at / ".ignore"), false, start.failures);
        if (work_tree && name.empty())
            start.rules.enter_work_tree(name, gitignore, ignore, read_info_exclude(start.root, reader, start.failures));
        else
            start.rules.enter(name, gitignore, ignore);
    };
    enter(root, {});
    fs::path at = root;
    for (const fs::path& name : given.lexically_relative(root)) {
        if (name == ".")
            continue;
        at /= name;
        enter(at, utf8(name));
    }
    return start;
}
