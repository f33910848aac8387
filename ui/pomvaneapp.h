#pragma once

#include <string>
#include <vector>

class SingleInstance;

// The application: runs the main dialog. main() creates the QApplication and hands over.
class CPomvaneApp
{
public:
    // Runs the main dialog modally, with the files of the command line queued and those of
    // later starts taken from instance (when given), and destroys it, which stops the
    // counting. The program ends when it returns.
    void InitInstance(const std::vector<std::string> &files = {}, SingleInstance *instance = nullptr);
};
