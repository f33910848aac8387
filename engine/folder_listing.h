#pragma once

#include "engine/failure.h"

#include <cstdint>
#include <memory>
#include <string>

// An open folder, whose entries a walk opens relative to it rather than by their paths, so
// that an entry or a folder on the way down swapped for a link meanwhile is never followed,
// and a tree of any depth is walked. Shared by the walk's level of that folder and by the
// files opened ahead from it, which need it open until they are; the last holder closes it,
// which may block like any call on a mount that stopped answering.
class open_folder {
public:
    explicit open_folder(std::intptr_t native) : native(native) {}
    open_folder(const open_folder&) = delete;
    open_folder& operator=(const open_folder&) = delete;
    ~open_folder();
    // A POSIX descriptor or a Win32 HANDLE, for input_file::open_at.
    std::intptr_t native_handle() const { return native; }

private:
    std::intptr_t native;
};
using shared_folder = std::shared_ptr<const open_folder>;

// One folder's entries, read one at a time: the platform's part of a folder walk. Every
// call may block for good on a mount that stopped answering; the caller runs them where it
// can be let go. One implementation per platform (folder_listing_posix.cpp,
// folder_listing_win32.cpp).
class folder_listing {
public:
    // An entry's file type, as the listing gives it.
    enum type : char {
        regular_file, // to be counted
        folder,       // to be walked
        other,        // a symbolic link or reparse point, FIFO, socket or device: never opened
        invalid_name, // a name with no UTF-8 form (Windows): fails, with the reason
    };

    // The path of an entry of the folder at `folder`, for display: entries are opened
    // relative to their open folder.
    static std::string join(const std::string& folder, const std::string& name);

    folder_listing() = default;
    folder_listing(const folder_listing&) = delete;
    folder_listing& operator=(const folder_listing&) = delete;
    ~folder_listing() { close(); }

    enum outcome { opened, not_a_folder, failed };
    // Opens the folder at path (raw bytes), the root of a walk, for listing; a final
    // symbolic link is followed. Else not_a_folder (anything else), or failed with the
    // system's reason.
    outcome open(const std::string& path, failure_reason& reason);
    // Opens the entry `name` of the open folder `parent` for listing when it is a folder,
    // following no link. Else not_a_folder (a link or anything else), or failed.
    outcome open_at(const open_folder& parent, const std::string& name, failure_reason& reason);
    // The folder above the open folder `below`, opened again: on POSIX through "..", on
    // Windows (whose names hold no "..") by its path, `path`. Null, with the reason, when it
    // cannot be or is not the folder of `device` and `inode` any more (a folder on the way
    // moved): the walk then gives up the rest of that folder rather than walk elsewhere.
    static shared_folder reopen_above(const open_folder& below, const std::string& path, std::uint64_t device,
                                      std::uint64_t inode, failure_reason& reason);

    // The open folder, to be kept by the walk; its entries are opened relative to it.
    const shared_folder& folder_handle() const { return opened_folder; }
    // The file system the open folder is on, to tell a mount point below it.
    std::uint64_t device() const { return dev; }
    // The open folder's number on its file system, to tell a folder met again below itself
    // (a bind mount).
    std::uint64_t inode() const { return ino; }
    // The next entry but "." and "..": 1 with its name and type, 0 at the end, -1 on a read
    // error with the reason.
    int next(std::string& name, type& found, failure_reason& reason);
    // Ends the listing and lets the folder go (it stays open while the walk holds it).
    void close();

private:
    // Takes the folder just opened (or the failure to open it) for listing.
    outcome start(std::intptr_t native, failure_reason& reason);

    shared_folder opened_folder;
    void* native = nullptr; // a DIR*, or the state of a Win32 listing
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
};
