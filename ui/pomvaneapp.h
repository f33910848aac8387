#pragma once

// The application: runs the main dialog. main() creates the QApplication and hands over.
class CPomvaneApp
{
public:
    // Runs the main dialog modally and destroys it, which stops the counting. Returns false:
    // there is no event loop of the application's own to enter afterwards.
    bool InitInstance();
};
