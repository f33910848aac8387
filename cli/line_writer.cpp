#include "line_writer.h"

#include "present/shown_name.h"

line_writer& line_writer::name(std::string_view path)
{
    line += shown_name(path, name_form::reversible);
    return *this;
}

line_writer& line_writer::words(std::string_view text)
{
    line += text;
    return *this;
}

void line_writer::end()
{
    line += '\n';
    out << line;
    line = prefix;
}
