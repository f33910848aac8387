#include "command_line.h"

#include <cstdio>

#include <fcntl.h>
#include <io.h>

void use_binary_standard_streams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}
