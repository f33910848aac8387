#pragma once

#include "engine/failure.h"

#include <cstdint>
#include <string>

// One folder's entries, read one at a time: the platform's part of a folder walk. Every
// call may block for good on a mount that stopped answering; the caller runs them where it
// can be let go. One implementation per platform (folder_listing_posix.cpp,
// folder_listing_win32.cpp).
class folder_listing {
public:
    enum kind : char {
        file,    // a regular file, to be counted
        folder,  // a folder, to be walked
        skipped, // a symbolic link or reparse point, FIFO, socket or device: never opened
        unnamed, // a name with no UTF-8 form (Windows): fails, with the reason
    };

    // The path of an entry of the folder at `folder`.
    static std::string path_of(const std::string& folder, const std::string& name);

    folder_listing() = default;
    folder_listing(const folder_listing&) = delete;
    folder_listing& operator=(const folder_listing&) = delete;
    ~folder_listing() { close(); }

    enum outcome { opened, not_a_folder, failed };
    // Opens path (raw bytes) for listing when it is a folder; a final symbolic link is
    // followed only with follow_link (the folder a walk was asked for). Else not_a_folder
    // (anything else, a link not followed included), or failed with the system's reason.
    outcome open(const std::string& path, bool follow_link, failure_reason& reason);
    // The file system the open folder is on, to tell a mount point below it; 0 where the
    // platform does not tell (Windows, whose mounted volumes are reparse points, skipped).
    std::uint64_t device() const { return on_device; }
    // The open folder's number on its file system, to tell a folder met again below itself
    // (a bind mount); 0 where the platform does not tell (Windows, whose links are skipped).
    std::uint64_t inode() const { return node; }
    // The next entry but "." and "..": 1 with its name and kind, 0 at the end, -1 on a read
    // error with the reason.
    int next(std::string& name, kind& what, failure_reason& reason);
    void close();

private:
    void* native = nullptr; // a DIR*, or the state of a Win32 search
    std::uint64_t on_device = 0;
    std::uint64_t node = 0;
};
