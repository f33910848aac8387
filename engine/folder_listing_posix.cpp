#include "folder_listing.h"


#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

folder_listing::kind kind_of(mode_t mode)
{
    if (S_ISREG(mode))
        return folder_listing::file;
    return S_ISDIR(mode) ? folder_listing::folder : folder_listing::skipped;
}

} // namespace

std::string folder_listing::path_of(const std::string& folder, const std::string& name)
{
    return folder.ends_with('/') ? folder + name : folder + '/' + name;
}

folder_listing::outcome folder_listing::open(const std::string& path, bool follow_link, failure_reason& reason)
{
    close();
    if (path.find('\0') != std::string::npos) {
        reason = failure_reason::system(EINVAL);
        return failed;
    }
    // O_DIRECTORY: nothing but a folder is opened, so no FIFO or device feels the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | (follow_link ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        if (errno == ENOTDIR || errno == ELOOP)
            return not_a_folder;
        reason = failure_reason::system(errno);
        return failed;
    }
    struct stat seen;
    DIR* folder = nullptr;
    if (::fstat(fd, &seen) != 0 || (folder = ::fdopendir(fd)) == nullptr) {
        reason = failure_reason::system(errno);
        ::close(fd);
        return failed;
    }
    native = folder;
    on_device = static_cast<std::uint64_t>(seen.st_dev);
    node = static_cast<std::uint64_t>(seen.st_ino);
    return opened;
}

int folder_listing::next(std::string& name, kind& what, failure_reason& reason)
{
    DIR* const listed = static_cast<DIR*>(native);
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(listed);
        if (found == nullptr) {
            if (errno == 0)
                return 0;
            reason = failure_reason::system(errno);
            return -1;
        }
        const char* const n = found->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        name = n;
        switch (found->d_type) {
        case DT_REG:
            what = file;
            return 1;
        case DT_DIR:
            what = folder;
            return 1;
        case DT_UNKNOWN: {
            // Some file systems do not say: look, without following a link.
            struct stat seen;
            if (::fstatat(::dirfd(listed), n, &seen, AT_SYMLINK_NOFOLLOW) != 0) {
                // Gone since it was listed: it fails when opened, with the reason then.
                what = file;
                return 1;
            }
            what = kind_of(seen.st_mode);
            return 1;
        }
        default:
            what = skipped;
            return 1;
        }
    }
}

void folder_listing::close()
{
    if (native != nullptr)
        ::closedir(static_cast<DIR*>(native));
    native = nullptr;
    on_device = 0;
    node = 0;
}
