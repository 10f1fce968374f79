// The one asset reader: the file's type is checked before it is opened and again on the
// descriptor, its size before a byte is read, and the read stops one byte past the limit; every
// refusal is one line naming the file.
#include "media/common/asset_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <utility>

namespace zindle {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024; // bytes read at a time

std::string notRegular(mode_t mode) {
    const char* what = S_ISDIR(mode)    ? "a folder"
                       : S_ISFIFO(mode) ? "a FIFO"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "something else";
    return std::string(what) + ", not a regular file";
}

std::string overLimit(std::uintmax_t size, std::size_t maxBytes) {
    return (size > maxBytes ? std::to_string(size) : "more than " + std::to_string(maxBytes)) +
           " bytes, over the limit of " + std::to_string(maxBytes) + " for this kind of file";
}

// Closes the descriptor on every path out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    int release() { return std::exchange(fd, -1); }
};

} // namespace

AssetDescriptor openAssetFile(const std::string& path, std::size_t maxBytes) {
    AssetDescriptor result;
    // The type is checked before opening, so that no device is ever opened, and again on the
    // descriptor, in case the path changed in between. O_NONBLOCK keeps a FIFO that slipped
    // through from blocking the open; on a regular file it changes nothing.
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        result.missing = path.empty() || errno == ENOENT || errno == ENOTDIR;
        result.problem = path.empty() ? "no file named" : std::strerror(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.problem = notRegular(info.st_mode);
        return result;
    }
    Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
        result.problem = std::strerror(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.problem = notRegular(info.st_mode);
        return result;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        result.problem = overLimit(static_cast<std::uintmax_t>(info.st_size), maxBytes);
        return result;
    }
    result.fd = file.release();
    return result;
}

AssetFile readAssetFile(const std::string& path, std::size_t maxBytes) {
    AssetFile result;
    AssetDescriptor opened = openAssetFile(path, maxBytes);
    Descriptor file{opened.fd};
    if (file.fd < 0) {
        result.problem = std::move(opened.problem);
        result.missing = opened.missing;
        return result;
    }
    // Read up to one byte past the limit: a file that grows while it is read is refused too.
    std::vector<std::uint8_t> bytes;
    while (true) {
        const std::size_t at = bytes.size();
        const std::size_t want = std::min(kReadChunk, maxBytes + 1 - at);
        bytes.resize(at + want);
        const ssize_t got = ::read(file.fd, bytes.data() + at, want);
        bytes.resize(at + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.problem = std::strerror(errno);
            return result;
        }
        if (got == 0)
            break;
        if (bytes.size() > maxBytes) {
            result.problem = overLimit(bytes.size(), maxBytes);
            return result;
        }
    }
    result.bytes = std::move(bytes);
    return result;
}

std::optional<std::vector<std::uint8_t>> readAsset(const std::string& path, std::size_t maxBytes,
                                                   Missing missing) {
    AssetFile file = readAssetFile(path, maxBytes);
    if (!file.bytes && (!file.missing || missing == Missing::Reported))
        reportAssetProblem(path, file.problem);
    return std::move(file.bytes);
}

int openAsset(const std::string& path, std::size_t maxBytes) {
    const AssetDescriptor opened = openAssetFile(path, maxBytes);
    if (opened.fd < 0 && !opened.missing)
        reportAssetProblem(path, opened.problem);
    return opened.fd;
}

void reportAssetProblem(const std::string& path, const std::string& problem) {
    std::cout << "Warning: " << path << ": " << problem << std::endl;
}

} // namespace zindle
