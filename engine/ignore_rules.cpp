#include "ignore_rules.h"

#include <algorithm>
#include <cstring>

namespace {

enum : std::uint8_t {
    negative = 1,    // "!pattern": an entry it matches is kept
    folder_only = 2, // "pattern/": matches folders only
    name_only = 4,   // no '/' but a final one: matched against the name at any depth
    ends_with = 8,   // "*literal": the name's end compared, no pattern matching needed
};

using byte = unsigned char;

bool is_wildcard(char c)
{
    return c == '*' || c == '?' || c == '[' || c == '\\';
}

// How many bytes from the start hold no wildcard and no escape: those are compared as they are.
std::size_t literal_length(std::string_view text)
{
    return static_cast<std::size_t>(std::find_if(text.begin(), text.end(), is_wildcard) - text.begin());
}

// Drops trailing spaces but one escaped with a backslash; a line ending in a lone backslash
// keeps all (it matches nothing anyway).
std::string_view trim_trailing_spaces(std::string_view line)
{
    std::size_t last_space = std::string_view::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ' ') {
            if (last_space == std::string_view::npos)
                last_space = i;
            continue;
        }
        if (line[i] == '\\' && ++i == line.size())
            return line;
        last_space = std::string_view::npos;
    }
    return line.substr(0, last_space);
}

// A [:name:] class, ASCII only as in Git. False in `known` for a name that is none.
bool in_class(std::string_view name, byte c, bool& known)
{
    const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    const bool graph = c > ' ' && c < 127;
    known = true;
    if (name == "alnum")
        return alpha || digit;
    if (name == "alpha")
        return alpha;
    if (name == "blank")
        return c == ' ' || c == '\t';
    if (name == "cntrl")
        return c < ' ' || c == 127;
    if (name == "digit")
        return digit;
    if (name == "graph")
        return graph;
    if (name == "lower")
        return c >= 'a' && c <= 'z';
    if (name == "print")
        return graph || c == ' ';
    if (name == "punct")
        return graph && !alpha && !digit;
    if (name == "space")
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (name == "upper")
        return c >= 'A' && c <= 'Z';
    if (name == "xdigit")
        return digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    known = false;
    return false;
}

enum wild_result { matched, not_matched, abort_all, abort_to_starstar };

// The byte at p, or 0 at the end: neither names nor stored patterns hold a NUL.
byte at(const byte* p, const byte* end)
{
    return p < end ? *p : 0;
}

// Matches text against a glob as gitignore(5) says: '*' and '?' stop at '/' when `path`
// ("**" between slashes crosses them), [...] sets with ranges, [!...] and [:classes:], '\'
// escapes. The two abort results cut the search short where no later start can match: a
// '*' has nothing left to try once the text ran out (abort_all) or, for a single '*', once
// it met a '/' (abort_to_starstar, which only a "**" further out may retry past). Hand
// written because std::regex cannot say "not across '/'" cheaply and fnmatch is POSIX only.
wild_result wild(const byte* p, const byte* const pe, const byte* t, const byte* const te, bool path)
{
    const byte* const start = p;
    for (; p < pe; ++t, ++p) {
        byte p_ch = *p;
        const byte t_ch = at(t, te);
        if (t_ch == 0 && p_ch != '*')
            return abort_all;
        switch (p_ch) {
        case '\\':
            if (++p == pe)
                return not_matched; // a final lone backslash matches nothing
            p_ch = *p;
            [[fallthrough]];
        default:
            if (t_ch != p_ch)
                return not_matched;
            continue;
        case '?':
            if (path && t_ch == '/')
                return not_matched;
            continue;
        case '*': {
            bool match_slash = !path;
            if (at(p + 1, pe) == '*') {
                const byte* const first = p;
                while (at(p + 1, pe) == '*')
                    ++p;
                ++p;
                const bool after_slash = first == start || first[-1] == '/';
                const bool before_slash = p == pe || *p == '/' || (*p == '\\' && at(p + 1, pe) == '/');
                if (path && after_slash && before_slash) {
                    // "**/" may match no folder at all: try the rest right here first.
                    if (p < pe && *p == '/' && wild(p + 1, pe, t, te, path) == matched)
                        return matched;
                    match_slash = true;
                }
            } else {
                ++p;
            }
            if (p == pe)
                return match_slash || std::find(t, te, '/') == te ? matched : not_matched;
            if (!match_slash && *p == '/') {
                // One '*' before a '/' takes the rest of this name.
                t = std::find(t, te, '/');
                if (t == te)
                    return not_matched;
                break; // the loop steps past both slashes
            }
            for (byte c = t_ch;; c = at(++t, te)) {
                if (c == 0)
                    return abort_all;
                if (!is_wildcard(static_cast<char>(*p))) {
                    // The next literal byte must come next: skip to it.
                    while (t < te && (match_slash || *t != '/') && *t != *p)
                        ++t;
                    c = at(t, te);
                    if (c != *p)
                        return not_matched;
                }
                const wild_result rest = wild(p, pe, t, te, path);
                if (rest != not_matched) {
                    if (!match_slash || rest != abort_to_starstar)
                        return rest;
                } else if (!match_slash && c == '/') {
                    return abort_to_starstar;
                }
            }
        }
        case '[': {
            byte c = at(++p, pe);
            if (c == '^')
                c = '!';
            const bool negated = c == '!';
            if (negated)
                c = at(++p, pe);
            byte previous = 0;
            bool found = false;
            do {
                if (c == 0)
                    return abort_all;
                if (c == '\\') {
                    c = at(++p, pe);
                    if (c == 0)
                        return abort_all;
                    found = found || t_ch == c;
                } else if (c == '-' && previous != 0 && at(p + 1, pe) != 0 && p[1] != ']') {
                    c = *++p;
                    if (c == '\\' && (c = at(++p, pe)) == 0)
                        return abort_all;
                    found = found || (t_ch >= previous && t_ch <= c);
                    c = 0; // a range does not start another
                } else if (c == '[' && at(p + 1, pe) == ':') {
                    const byte* const name = p + 2;
                    const byte* const close = std::find(name, pe, ']');
                    if (close == pe)
                        return abort_all;
                    if (close - name < 1 || close[-1] != ':') {
                        found = found || t_ch == '['; // no class: a plain '['
                        continue;
                    }
                    bool known = false;
                    const std::string_view class_name(reinterpret_cast<const char*>(name),
                                                      static_cast<std::size_t>(close - 1 - name));
                    found = in_class(class_name, t_ch, known) || found;
                    if (!known)
                        return abort_all;
                    p = close;
                    c = 0;
                } else {
                    found = found || t_ch == c;
                }
            } while (previous = c, (c = at(++p, pe)) != ']');
            if (found == negated || (path && t_ch == '/'))
                return not_matched;
            continue;
        }
        }
    }
    return t < te ? not_matched : matched;
}

bool wild_match(std::string_view pattern, std::string_view text, bool path)
{
    const auto* p = reinterpret_cast<const byte*>(pattern.data());
    const auto* t = reinterpret_cast<const byte*>(text.data());
    return wild(p, p + pattern.size(), t, t + text.size(), path) == matched;
}

} // namespace

ignore_rules::ignore_rules(std::string_view global_excludes)
{
    parse(global_excludes);
    global_end = patterns.size();
}

void ignore_rules::parse(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF")) // a UTF-8 byte order mark
        text.remove_prefix(3);
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty() || line[0] == '#')
            continue;
        if (line.back() == '\r')
            line.remove_suffix(1);
        line = trim_trailing_spaces(line.substr(0, line.find('\0')));
        pattern added{texts.size(), 0, 0, 0};
        if (line.starts_with('!')) {
            added.flags |= negative;
            line.remove_prefix(1);
        }
        std::string_view body = line;
        if (body.ends_with('/')) {
            added.flags |= folder_only;
            body.remove_suffix(1);
        }
        if (body.find('/') == std::string_view::npos)
            added.flags |= name_only;
        // Measured on the line with its final '/', which is no wildcard.
        added.literal = std::min(literal_length(line), body.size());
        if (line.starts_with('*') && literal_length(line.substr(1)) == line.size() - 1)
            added.flags |= ends_with;
        if (!(added.flags & name_only) && body.starts_with('/')) {
            // A leading '/' only anchors: paths are matched from the file's folder anyway.
            body.remove_prefix(1);
            added.literal -= 1;
        }
        if (body.empty())
            continue; // matches no name
        added.length = body.size();
        texts.append(body);
        patterns.push_back(added);
    }
}

void ignore_rules::enter(std::string_view name, std::string_view gitignore, std::string_view ignore)
{
    enter(name, gitignore, ignore, false, {});
}

void ignore_rules::enter_work_tree(std::string_view name, std::string_view gitignore, std::string_view ignore,
                                   std::string_view info_exclude)
{
    enter(name, gitignore, ignore, true, info_exclude);
}

void ignore_rules::enter(std::string_view name, std::string_view gitignore, std::string_view ignore, bool work_tree,
                         std::string_view info_exclude)
{
    if (!name.empty()) {
        path.append(name);
        path.push_back('/');
    }
    level entered{};
    entered.path_length = path.size();
    entered.text_begin = texts.size();
    entered.work_tree = work_tree ? levels.size() : levels.empty() ? no_work_tree : levels.back().work_tree;
    entered.exclude_begin = patterns.size();
    parse(info_exclude);
    entered.gitignore_begin = patterns.size();
    if (entered.work_tree != no_work_tree)
        parse(gitignore);
    entered.ignore_begin = patterns.size();
    parse(ignore);
    entered.end = patterns.size();
    levels.push_back(entered);
}

void ignore_rules::leave()
{
    if (levels.empty())
        return;
    const level left = levels.back();
    levels.pop_back();
    patterns.resize(left.exclude_begin);
    texts.resize(left.text_begin);
    path.resize(levels.empty() ? 0 : levels.back().path_length);
}

const ignore_rules::pattern* ignore_rules::last_match(std::size_t begin, std::size_t end, std::size_t base,
                                                     std::string_view name, bool is_folder)
{
    for (std::size_t i = end; i-- > begin;) {
        const pattern& rule = patterns[i];
        if ((rule.flags & folder_only) && !is_folder)
            continue;
        const std::string_view text(texts.data() + rule.at, rule.length);
        if (rule.flags & name_only) {
            // Most names differ from a literal or a "*.ext" in their last byte: no call to compare.
            if (rule.literal == rule.length) {
                if (name.size() == text.size() && name.back() == text.back() && name == text)
                    return &rule;
            } else if (rule.flags & ends_with) {
                if (text.size() == 1 // "*"
                    || (name.size() >= text.size() - 1 && name.back() == text.back() && name.ends_with(text.substr(1))))
                    return &rule;
            } else if (wild_match(text, name, false)) {
                return &rule;
            }
            continue;
        }
        // A path pattern: matched against the path from the folder of its file.
        if (path.size() == levels.back().path_length)
            path.append(name);
        const std::string_view from_base = std::string_view(path).substr(base);
        if (rule.literal > from_base.size() || from_base.compare(0, rule.literal, text.substr(0, rule.literal)) != 0)
            continue;
        if (wild_match(text.substr(rule.literal), from_base.substr(rule.literal), true))
            return &rule;
    }
    return nullptr;
}

bool ignore_rules::ignored(std::string_view name, bool is_folder)
{
    if (name == ".git")
        return true;
    if (levels.empty() || name.empty())
        return false;
    const level& top = levels.back();
    const pattern* found = nullptr;
    for (std::size_t depth = levels.size(); depth-- > 0 && found == nullptr;) {
        const level& folder = levels[depth];
        found = last_match(folder.ignore_begin, folder.end, folder.path_length, name, is_folder);
        if (found == nullptr && top.work_tree != no_work_tree && depth >= top.work_tree)
            found = last_match(folder.gitignore_begin, folder.ignore_begin, folder.path_length, name, is_folder);
    }
    if (found == nullptr && top.work_tree != no_work_tree) {
        const level& root = levels[top.work_tree];
        found = last_match(root.exclude_begin, root.gitignore_begin, root.path_length, name, is_folder);
        if (found == nullptr)
            found = last_match(0, global_end, root.path_length, name, is_folder);
    }
    path.resize(top.path_length);
    return found != nullptr && !(found->flags & negative);
}
