// Builds the trees the move benchmark carries: FILES files of BYTES bytes each, spread evenly over
// DIRS directories ("d00000/f000000"...) below DIR, which must not exist yet. The data is
// pseudo-random, so no file system can store it more cheaply than real data. The files are flushed
// (syncfs) before it returns, so writing them back cannot disturb the measurement that follows.
// Usage: orvalink-bench-move-tree DIR FILES DIRS BYTES
//   orvalink-bench-move-tree /srv/src/small 100000 10000 4096
//   orvalink-bench-move-tree /srv/src/big 2 1 1073741824

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool fail(const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", what.c_str(), std::strerror(errno));
    return false;
}

int failed(const std::string& what)
{
    fail(what);
    return 1;
}

// xorshift64*: fast, and different for every file.
void fillRandom(std::vector<char>& buffer, uint64_t& state)
{
    for (size_t i = 0; i + 8 <= buffer.size(); i += 8) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const uint64_t value = state * 2685821657736338717ULL;
        std::memcpy(buffer.data() + i, &value, 8);
    }
}

bool writeFile(const std::string& path, long long bytes, std::vector<char>& buffer, uint64_t& state)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(path);
    for (long long done = 0; done < bytes;) {
        fillRandom(buffer, state);
        const size_t chunk = size_t(std::min<long long>(bytes - done, (long long)buffer.size()));
        const ssize_t written = ::write(fd, buffer.data(), chunk);
        if (written <= 0) {
            fail(path);
            ::close(fd);
            return false;
        }
        done += written;
    }
    return ::close(fd) == 0 || fail(path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s DIR FILES DIRS BYTES\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const long long files = std::atoll(argv[2]);
    const long long directories = std::atoll(argv[3]);
    const long long bytes = std::atoll(argv[4]);
    if (files < 0 || directories < 1 || bytes < 0) {
        std::fprintf(stderr, "FILES and BYTES must not be negative, DIRS at least 1\n");
        return 2;
    }
    if (::mkdir(root.c_str(), 0755) != 0)
        return failed(root);
    std::vector<char> buffer(size_t(std::min<long long>(std::max<long long>(bytes, 8), 1 << 20)) + 8);
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    char name[64];
    for (long long d = 0; d < directories; ++d) {
        std::snprintf(name, sizeof name, "/d%05lld", d);
        const std::string directory = root + name;
        if (::mkdir(directory.c_str(), 0755) != 0)
            return failed(directory);
        // Directory d holds the files d, d + DIRS, d + 2 * DIRS...
        for (long long f = d; f < files; f += directories) {
            std::snprintf(name, sizeof name, "/f%06lld", f);
            if (!writeFile(directory + name, bytes, buffer, state))
                return 1;
        }
    }
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::syncfs(fd) != 0)
        return failed(root);
    ::close(fd);
    return 0;
}
