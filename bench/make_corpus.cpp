// make_corpus: writes the benchmark corpus.
//   make_corpus big FILE          one text file of 1 GiB
//   make_corpus small DIR COUNT   COUNT small text files of 0 to 8 KiB under DIR
// The text mixes line lengths (empty lines up to lines of tens of KiB), LF and CRLF endings,
// UTF-8 and stray high bytes, so that counting meets what real files hold. The output is
// the same on every run: the generator is seeded with a constant.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// splitmix64: tiny and fast; std::mt19937_64 would make generating 1 GiB take much longer.
class random_bits {
public:
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A number below bound; the slight bias does not matter for test data.
    std::uint64_t below(std::uint64_t bound) { return next() % bound; }

private:
    std::uint64_t state = 0x506F6D76616E65ULL;
};

// 64 symbols picked 6 bits at a time: mostly letters and spaces, some punctuation, a tab,
// and the lead bytes of multi-byte sequences, which append_line completes.
constexpr std::string_view symbols = "etaoinshrdlucmfwypbgkvx ETAOINS        0123456789,.;:-()\"'\t\xC3\xE2\xF0\x80\xFF";
static_assert(symbols.size() == 64);

void append_symbol(std::string& out, char symbol)
{
    switch (static_cast<unsigned char>(symbol)) {
    case 0xC3: // é
        out += "\xC3\xA9";
        break;
    case 0xE2: // €
        out += "\xE2\x82\xAC";
        break;
    case 0xF0: // 😀
        out += "\xF0\x9F\x98\x80";
        break;
    default: // 0x80 and 0xFF stay alone: bytes that are no valid UTF-8
        out += symbol;
    }
}

void append_line(std::string& out, random_bits& random)
{
    // Mostly short lines, some empty, a few very long.
    const std::uint64_t pick = random.below(100);
    std::uint64_t length;
    if (pick < 8)
        length = 0;
    else if (pick < 90)
        length = random.below(120);
    else if (pick < 99)
        length = 120 + random.below(2000);
    else
        length = 2000 + random.below(30000);
    while (length > 0) {
        std::uint64_t bits = random.next();
        for (int i = 0; i < 10 && length > 0; ++i, --length, bits >>= 6)
            append_symbol(out, symbols[bits & 63]);
    }
    out += random.below(5) == 0 ? "\r\n" : "\n";
}

bool write_all(std::FILE* file, const char* data, std::size_t size)
{
    return std::fwrite(data, 1, size, file) == size;
}

int make_big(const char* path)
{
    constexpr std::uint64_t total = std::uint64_t{1} << 30;
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::perror(path);
        return 1;
    }
    random_bits random;
    std::string chunk;
    chunk.reserve(2 << 20);
    std::uint64_t written = 0;
    bool ok = true;
    while (ok && written < total) {
        chunk.clear();
        while (chunk.size() < (1 << 20))
            append_line(chunk, random);
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), total - written));
        // The file ends in the middle of a line, so the last line has no LF of its own.
        if (written + size == total && chunk[size - 1] == '\n')
            chunk[size - 1] = 'z';
        ok = write_all(file, chunk.data(), size);
        written += size;
    }
    if (std::fclose(file) != 0 || !ok) {
        std::perror(path);
        return 1;
    }
    return 0;
}

int make_small(const char* directory, unsigned long count)
{
    namespace fs = std::filesystem;
    random_bits random;
    std::string text;
    // 200 files per folder, as a project's source tree might hold them.
    for (unsigned long i = 0; i < count; ++i) {
        const fs::path folder = fs::path(directory) / ("d" + std::to_string(i / 200));
        if (i % 200 == 0) {
            std::error_code error;
            fs::create_directories(folder, error);
            if (error) {
                std::fprintf(stderr, "make_corpus: %s: %s\n", folder.c_str(), error.message().c_str());
                return 1;
            }
        }
        const std::size_t size = static_cast<std::size_t>(random.below(8 * 1024 + 1));
        text.clear();
        while (text.size() < size)
            append_line(text, random);
        text.resize(size);
        // About a third end with LF; the rest end mid-line, and some are empty.
        if (size > 0 && random.below(3) == 0)
            text[size - 1] = '\n';
        const fs::path path = folder / ("f" + std::to_string(i) + ".txt");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || !write_all(file, text.data(), text.size()) || std::fclose(file) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: make_corpus big FILE\n       make_corpus small DIR COUNT\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "big")
        return make_big(argv[2]);
    if (args.size() == 3 && args[0] == "small") {
        char* end = nullptr;
        const unsigned long count = std::strtoul(argv[3], &end, 10);
        if (*end != '\0' || end == argv[3])
            return usage();
        return make_small(argv[2], count);
    }
    return usage();
}
