#pragma once

#include <ostream>
#include <string>
#include <string_view>

// What the tool writes about files, one line at a time, each line handed to the stream whole.
// A name goes through shown_name() in its reversible form, so that whatever it holds it can
// neither end the line nor pass for the tool's own words; the words are the tool's, written
// as they are. Every output of the tool that names files writes through it.
class line_writer {
public:
    // Each line starts with `prefix`, as "pomvane-count: " starts each line on standard error.
    explicit line_writer(std::ostream& out, std::string_view prefix = {}) : out(out), prefix(prefix) {}

    line_writer& name(std::string_view path);
    line_writer& words(std::string_view text);
    // Writes the line with its end, and starts the next.
    void end();

private:
    std::ostream& out;
    const std::string prefix;
    std::string line = prefix;
};
