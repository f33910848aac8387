#pragma once

#include <optional>
#include <string>
#include <vector>

// The program's command line, parsed as present/window_options.h parses it for both windows:
// `pomvane [-r] [--new-window] [--] [FILE...]`, with --help and --version.
class CommandLine
{
public:
    // Parses the arguments without needing a display. When the program is to end at once
    // (after --help or --version, or on a bad option) the text has been printed and the exit
    // status is returned.
    std::optional<int> parse(int argc, char *argv[]);

    // The files in the order given, as raw bytes, made absolute against the current folder
    // so that another process can open them too. Nothing is expanded.
    const std::vector<std::string> &files() const { return fileList; }
    bool newWindow() const { return wantsNewWindow; }
    // -r/--recursive: the folders given are counted by their files, whatever the window's
    // setting.
    bool walkFolders() const { return wantsWalk; }

private:
    std::vector<std::string> fileList;
    bool wantsNewWindow = false;
    bool wantsWalk = false;
};
