#pragma once
// Files and totals for the engine's tests.

#include "engine/engine.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

// A path as the engine takes it: UTF-8 on Windows, the raw bytes elsewhere.
inline std::string engine_path(const std::filesystem::path& path)
{
    const std::u8string bytes = path.u8string();
    return {bytes.begin(), bytes.end()};
}

// A fresh folder of the test's own, removed with everything in it.
class scratch_dir {
public:
    explicit scratch_dir(const std::filesystem::path& parent = std::filesystem::temp_directory_path())
    {
        std::random_device entropy; // a fresh name, as mkdtemp makes, but on Windows too
        do
            root = std::filesystem::absolute(parent) / ("pomvane-test-" + std::to_string(entropy()));
        while (!std::filesystem::create_directory(root));
    }
    ~scratch_dir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(root / name, std::ios::binary) << bytes;
        return path(name);
    }
    // A file of zeros that takes no room on the disk.
    std::string sparse(const std::string& name, std::uint64_t size) const
    {
        const std::filesystem::path file = root / name;
#ifdef _WIN32
        // MinGW's resize_file wants the whole size free on the disk; a sparse file does not.
        HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD returned = 0;
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        const bool made = DeviceIoControl(handle, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr)
                          && SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
        CloseHandle(handle);
        if (!made)
            throw std::runtime_error("cannot make the sparse file " + engine_path(file));
#else
        std::ofstream(file, std::ios::binary).flush();
        std::filesystem::resize_file(file, size);
#endif
        return engine_path(file);
    }
    std::string path(const std::string& name) const { return engine_path(root / name); }
    const std::filesystem::path& folder() const { return root; }

private:
    std::filesystem::path root;
};

// Files counted, files failed, characters, lines: compared whole, and printed whole when wrong.
using totals = std::array<std::uint64_t, 4>;
inline totals totals_of(engine& counter)
{
    const engine::snapshot s = counter.totals();
    return {s.files_counted, s.files_failed, s.total_characters, s.total_lines};
}

#ifndef _WIN32
inline std::size_t descriptors_of_this_process()
{
    const auto open = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(open), end(open)));
}
#endif
