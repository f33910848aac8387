#pragma once

#include <string>
#include <vector>

class SingleInstance;

// The application: runs the main dialog. main() creates the QApplication and hands over.
class CPomvaneApp
{
public:
    // Runs the main dialog modally, with the files of the command line queued (their folders
    // counted by their files when walkFolders is set) and those of later starts taken from
    // instance (when given), and destroys it, which stops the counting. The program ends
    // when it returns.
    void InitInstance(const std::vector<std::string> &files = {}, bool walkFolders = false,
                      SingleInstance *instance = nullptr);
};
