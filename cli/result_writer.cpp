#include "result_writer.h"

#include "line_writer.h"

#include "present/counted_list.h"
#include "present/failure_text.h"
#include "present/shown_name.h"
#include "present/totals_text.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

// A JSON string: the name already holds no control character once shown_name() wrote it,
// but a reason is the system's words, so both go through the full escaping.
std::string json_string(std::string_view text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string json_object(const engine::file_result& result)
{
    std::string object = "{\"path\":" + json_string(shown_name(result.path, name_form::reversible));
    if (result.reason)
        return object + ",\"failed\":" + json_string(failure_text(result.reason, failure_reader::tool)) + '}';
    return object + ",\"characters\":" + decimal_text(result.characters) + ",\"lines\":" +
           decimal_text(result.lines) + '}';
}

std::string json_totals(const engine::snapshot& summed)
{
    return "{\"files\":" + decimal_text(summed.files_counted) + ",\"failed\":" + decimal_text(summed.files_failed) +
           ",\"characters\":" + decimal_text(summed.total_characters) + ",\"lines\":" +
           decimal_text(summed.total_lines) + '}';
}

} // namespace

void result_writer::begin()
{
    if (form == options::format::csv)
        out << "path,characters,lines,failed\r\n";
    else if (form == options::format::json)
        out << "{\"files\":[";
}

void result_writer::write(const engine::file_result& result)
{
    // Failures are named on standard error as they come, whatever the form.
    if (result.reason)
        errors.name(result.path).words(": ").words(failure_text(result.reason, failure_reader::tool)).end();
    switch (form) {
    case options::format::totals:
    case options::format::lines:
        if (!result.reason)
            line_writer(out).words(decimal_text(result.characters) + ' ' + decimal_text(result.lines) + ' ')
                    .name(result.path).end();
        break;
    case options::format::csv: {
        std::string row = csv_field(shown_name(result.path, name_form::reversible));
        if (result.reason)
            row += ",,," + csv_field(failure_text(result.reason, failure_reader::tool));
        else
            row += ',' + decimal_text(result.characters) + ',' + decimal_text(result.lines) + ',';
        out << row << "\r\n";
        break;
    }
    case options::format::json:
        out << (written == 0 ? "\n" : ",\n") << json_object(result);
        break;
    case options::format::ndjson:
        out << json_object(result) << '\n';
        break;
    }
    ++written;
}

void result_writer::end(const engine::snapshot& summed)
{
    switch (form) {
    case options::format::totals:
    case options::format::lines: {
        const bool wanted = totals == options::total::always || totals == options::total::only ||
                            (totals == options::total::automatic && summed.files_counted + summed.files_failed > 1);
        if (wanted)
            out << totals_line(summed) << '\n';
        break;
    }
    case options::format::csv:
        break;
    case options::format::json:
        out << (written == 0 ? "],\n" : "\n],\n") << "\"totals\":" << json_totals(summed) << "}\n";
        break;
    case options::format::ndjson:
        out << "{\"totals\":" << json_totals(summed) << "}\n";
        break;
    }
}
