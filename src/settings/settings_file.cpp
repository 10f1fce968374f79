// Reading the settings without trusting the file: it is opened without waiting (a FIFO would
// block a plain open), looked at through the descriptor that reads it, and read no further
// than the limit. Writing goes to a new file renamed over the old, so a failed write loses
// nothing.
#include "settings/settings_file.h"

#include "framework/untrusted_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace zindle {

namespace {
constexpr const char* kAppFolder = "zindle-vs-pellorin";
constexpr const char* kFileName = "settings.ini";

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

SettingsRead refused(const std::filesystem::path& file, const std::string& why) {
    SettingsRead read;
    read.problems.push_back(quoteUntrusted(file.string()) + ": " + why +
                            ": the default settings are used");
    return read;
}
} // namespace

std::filesystem::path settingsFileFor(const char* xdgConfigHome, const char* home) {
    std::filesystem::path base;
    if (xdgConfigHome && xdgConfigHome[0] == '/')
        base = xdgConfigHome;
    else if (home && home[0] == '/')
        base = std::filesystem::path(home) / ".config";
    else
        return {};
    return base / kAppFolder / kFileName;
}

std::filesystem::path settingsFile() {
    return settingsFileFor(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

SettingsRead loadSettings(const std::filesystem::path& file) {
    if (file.empty())
        return {};
    const Descriptor d{::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (d.fd < 0) {
        if (errno == ENOENT)
            return {};
        return refused(file, std::string("cannot be read (") + std::strerror(errno) + ")");
    }
    struct stat info {};
    if (::fstat(d.fd, &info) != 0)
        return refused(file, std::string("cannot be read (") + std::strerror(errno) + ")");
    if (S_ISDIR(info.st_mode))
        return refused(file, "is a folder, not a file");
    if (!S_ISREG(info.st_mode))
        return refused(file, "is not a plain file");
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxSettingsBytes)
        return refused(file, "is larger than " + std::to_string(kMaxSettingsBytes / 1024) + " KB");
    // The size may change under us: read one byte past the limit to notice a file that grew.
    std::string text(kMaxSettingsBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(d.fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refused(file, std::string("cannot be read (") + std::strerror(errno) + ")");
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got > kMaxSettingsBytes)
        return refused(file, "is larger than " + std::to_string(kMaxSettingsBytes / 1024) + " KB");
    text.resize(got);
    if (text.find('\0') != std::string::npos)
        return refused(file, "is not text");
    return parseSettings(text, quoteUntrusted(file.string()));
}

std::optional<std::string> saveSettings(const std::filesystem::path& file,
                                        const Settings& settings) {
    if (file.empty())
        return std::string("there is no folder for settings (neither XDG_CONFIG_HOME nor HOME)");
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        return "cannot make " + quoteUntrusted(file.parent_path().string()) + " (" +
               error.message() + ")";
    const auto fresh = std::filesystem::path(file).concat(".new-" + std::to_string(::getpid()));
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out << formatSettings(settings);
        out.flush();
        if (!out) {
            std::filesystem::remove(fresh, error);
            return "cannot write " + quoteUntrusted(fresh.string());
        }
    }
    std::filesystem::rename(fresh, file, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(fresh, ignored);
        return "cannot replace " + quoteUntrusted(file.string()) + " (" + error.message() + ")";
    }
    return std::nullopt;
}

} // namespace zindle
