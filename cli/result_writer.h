#pragma once

#include "line_writer.h"
#include "options.h"

#include "engine/engine.h"

#include <cstdint>
#include <ostream>

// Writes each file's result as the engine hands it over, in the form asked for, and the
// totals at the end; nothing is held back, so a million files take no more memory than one.
// It serves every form but the totals alone, which need no file's result.
// Names are written by shown_name() in its reversible form, as the error lines write them.
class result_writer {
public:
    result_writer(std::ostream& out, line_writer& errors, const options& asked)
        : out(out), errors(errors), form(asked.output), totals(asked.totals)
    {
    }

    // Writes the header, if the form has one.
    void begin();
    // A failure is named on `errors` too, as without a form.
    void write(const engine::file_result& result);
    // Writes what follows the files: the totals, as the form has them.
    void end(const engine::snapshot& summed);

private:
    std::ostream& out;
    line_writer& errors;
    const options::format form;
    const options::total totals;
    std::uint64_t written = 0;
};
