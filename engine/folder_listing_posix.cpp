#include "folder_listing.h"

#include <cerrno>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

folder_listing::type type_of(mode_t mode)
{
    if (S_ISREG(mode))
        return folder_listing::regular_file;
    return S_ISDIR(mode) ? folder_listing::folder : folder_listing::other;
}

} // namespace

open_folder::~open_folder()
{
    ::close(static_cast<int>(native));
}

std::string folder_listing::join(const std::string& folder, const std::string& name)
{
    return folder.ends_with('/') ? folder + name : folder + '/' + name;
}

folder_listing::outcome folder_listing::open(const std::string& path, failure_reason& reason)
{
    close();
    if (path.find('\0') != std::string::npos) {
        reason = failure_reason::system(EINVAL);
        return failed;
    }
    // O_DIRECTORY: nothing but a folder is opened, so no FIFO or device feels the open.
    return start(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY), reason);
}

folder_listing::outcome folder_listing::open_at(const open_folder& parent, const std::string& name,
                                                failure_reason& reason)
{
    close();
    return start(::openat(static_cast<int>(parent.native_handle()), name.c_str(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY),
                 reason);
}

folder_listing::outcome folder_listing::start(std::intptr_t native_folder, failure_reason& reason)
{
    const int fd = static_cast<int>(native_folder);
    if (fd < 0) {
        if (errno == ENOTDIR || errno == ELOOP) // ELOOP: a link, with O_NOFOLLOW
            return not_a_folder;
        reason = failure_reason::system(errno);
        return failed;
    }
    auto folder = std::make_shared<const open_folder>(fd);
    struct stat seen;
    if (::fstat(fd, &seen) != 0) {
        reason = failure_reason::system(errno);
        return failed;
    }
    // Listed through a descriptor of its own, which readdir moves along; the folder's own
    // stays for opening entries relative to it.
    const int listed = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR* const entries = listed < 0 ? nullptr : ::fdopendir(listed);
    if (entries == nullptr) {
        reason = failure_reason::system(errno);
        if (listed >= 0)
            ::close(listed);
        return failed;
    }
    native = entries;
    opened_folder = std::move(folder);
    dev = static_cast<std::uint64_t>(seen.st_dev);
    ino = static_cast<std::uint64_t>(seen.st_ino);
    return opened;
}

shared_folder folder_listing::reopen_above(const open_folder& below, const std::string&, std::uint64_t device,
                                           std::uint64_t inode, failure_reason& reason)
{
    const int fd = ::openat(static_cast<int>(below.native_handle()), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        reason = failure_reason::system(errno);
        return nullptr;
    }
    auto folder = std::make_shared<const open_folder>(fd);
    struct stat seen;
    if (::fstat(fd, &seen) != 0) {
        reason = failure_reason::system(errno);
        return nullptr;
    }
    if (static_cast<std::uint64_t>(seen.st_dev) != device || static_cast<std::uint64_t>(seen.st_ino) != inode) {
        reason = {failure_reason::moved_while_walked};
        return nullptr;
    }
    return folder;
}

int folder_listing::next(std::string& name, type& found, failure_reason& reason)
{
    DIR* const listed = static_cast<DIR*>(native);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listed);
        if (entry == nullptr) {
            if (errno == 0)
                return 0;
            reason = failure_reason::system(errno);
            return -1;
        }
        const char* const n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        name = n;
        switch (entry->d_type) {
        case DT_REG:
            found = regular_file;
            return 1;
        case DT_DIR:
            found = folder;
            return 1;
        case DT_UNKNOWN: {
            // Some file systems do not say: look, without following a link.
            struct stat seen;
            if (::fstatat(::dirfd(listed), n, &seen, AT_SYMLINK_NOFOLLOW) != 0) {
                // Gone since it was listed: it fails when opened, with the reason then.
                found = regular_file;
                return 1;
            }
            found = type_of(seen.st_mode);
            return 1;
        }
        default:
            found = other;
            return 1;
        }
    }
}

void folder_listing::close()
{
    if (native != nullptr)
        ::closedir(static_cast<DIR*>(native));
    native = nullptr;
    opened_folder.reset();
    dev = 0;
    ino = 0;
}
