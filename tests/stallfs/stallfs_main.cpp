// stallfs MOUNTPOINT: serves the test file system there until SIGTERM or SIGINT, for trying
// programs by hand against a read that never returns.
#include "stall_fs.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>

#include <pthread.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: stallfs MOUNTPOINT\n";
        return 2;
    }
    // Blocked before the server thread starts, so that it inherits the mask and the
    // signals wait for sigwait below.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    try {
        stall_fs fs(argv[1], std::chrono::milliseconds(5));
        std::cout << "ready" << std::endl;
        int signal = 0;
        sigwait(&ending, &signal);
        fs.release();
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
