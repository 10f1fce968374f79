// Checks of the SDL variables that could stall the game or exhaust a resource, made before SDL
// starts: numbers outside a sane range, FIFOs and other non-files where SDL opens a file and
// waits, pad mapping files too large for SDL's loader, and per-frame picture dumps.
#include "media/sdl/sdl_environment.h"

#include "framework/untrusted_text.h"
#include "media/common/asset_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace zindle {

namespace {

// SDL adds mappings one at a time, searching those it has for each: the time grows with the
// square of their number. A full community database for one platform is well under this.
constexpr std::size_t kMaxSdlMappingLines = 3000;

std::string quoted(std::string_view text) {
    std::string out = "\"";
    out += quoteUntrusted(text);
    out += '"';
    return out;
}

std::string named(const char* name, std::string_view value) {
    return std::string(name) + "=" + quoted(value);
}

enum class FileKind { Missing, Regular, Fifo, CharacterDevice, Other };

FileKind kindOf(const char* path, struct stat& info) {
    if (::stat(path, &info) != 0)
        return FileKind::Missing; // SDL's own open fails the same way, at once
    if (S_ISREG(info.st_mode))
        return FileKind::Regular;
    if (S_ISFIFO(info.st_mode))
        return FileKind::Fifo;
    if (S_ISCHR(info.st_mode))
        return FileKind::CharacterDevice;
    return FileKind::Other;
}

const char* describe(FileKind kind) {
    switch (kind) {
    case FileKind::Fifo:
        return "a FIFO";
    case FileKind::CharacterDevice:
        return "a device";
    case FileKind::Regular:
        return "a regular file";
    default:
        return "neither a file nor a device";
    }
}

// Numbers SDL reads with atoi: a huge or negative one becomes a wait of days, or a buffer
// beyond any device's.
struct NumberRange {
    const char* name;
    long long lowest;
    long long highest;
    const char* unit;
};
constexpr NumberRange kNumbers[] = {
    // The disk driver sleeps this long between blocks, and closing the sound waits for it.
    {"SDL_DISKAUDIODELAY", 0, 1000, "ms"},
    {"SDL_AUDIO_SAMPLES", 16, 8192, "sample frames"},
    {"SDL_AUDIO_FREQUENCY", 8000, 192000, "Hz"},
    {"SDL_AUDIO_CHANNELS", 1, 8, "channels"},
};

void reviewNumber(const NumberRange& range, const char* value, std::vector<EnvironmentFix>& out) {
    const std::string_view text(value);
    long long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    const bool whole = error == std::errc{} && end == text.data() + text.size() && !text.empty();
    if (whole && number >= range.lowest && number <= range.highest)
        return;
    out.push_back({range.name,
                   named(range.name, text) +
                       (whole ? " is outside " : " is not a whole number in ") +
                       std::to_string(range.lowest) + " to " + std::to_string(range.highest) + " " +
                       range.unit + "; SDL's default is used",
                   std::nullopt});
}

// A file SDL writes or reads as a stream: a FIFO would block its open until another process
// opens the other end, and its writes whenever that process stops reading.
void reviewStreamFile(const char* name, const char* value, std::vector<EnvironmentFix>& out) {
    struct stat info {};
    if (kindOf(value, info) != FileKind::Fifo)
        return;
    out.push_back({name,
                   named(name, value) + " names a FIFO, which can stall the sound; " +
                       "/dev/null is used instead",
                   std::string("/dev/null")});
}

// Counts the lines SDL would take as mappings, reading no further than `limit` bytes.
std::optional<std::size_t> mappingLines(const char* path, std::size_t limit) {
    // Non-blocking, in case the file was swapped for a FIFO since it was examined.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<std::size_t> lines;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        lines = 0;
        std::size_t total = 0;
        bool lineStart = true;
        char buffer[16384];
        ssize_t got = 0;
        while (total <= limit && (got = ::read(fd, buffer, sizeof buffer)) > 0) {
            total += static_cast<std::size_t>(got);
            for (ssize_t i = 0; i < got; ++i) {
                const char c = buffer[i];
                if (c == '\n' || c == '\r') {
                    lineStart = true;
                } else if (lineStart) {
                    lineStart = false;
                    if (c != '#')
                        ++*lines;
                }
            }
        }
        if (got < 0 || total > limit)
            lines.reset();
    }
    ::close(fd);
    return lines;
}

// SDL reads this file whole at start-up and adds every line.
void reviewMappingFile(const char* name, const char* value, std::vector<EnvironmentFix>& out) {
    struct stat info {};
    const FileKind kind = kindOf(value, info);
    std::string problem;
    if (kind == FileKind::Missing) {
        return;
    } else if (kind != FileKind::Regular) {
        problem = std::string(" names ") + describe(kind) + ", not a regular file";
    } else if (static_cast<std::size_t>(info.st_size) > kMaxTextFileBytes) {
        problem = " is " + std::to_string(info.st_size) + " bytes, over the limit of " +
                  std::to_string(kMaxTextFileBytes);
    } else {
        const auto lines = mappingLines(value, kMaxTextFileBytes);
        if (!lines)
            problem = " cannot be read as a file of at most " + std::to_string(kMaxTextFileBytes) +
                      " bytes";
        else if (*lines > kMaxSdlMappingLines)
            problem = " holds " + std::to_string(*lines) + " mappings, over the limit of " +
                      std::to_string(kMaxSdlMappingLines);
    }
    if (!problem.empty())
        out.push_back(
            {name, named(name, value) + problem + "; the file is not read", std::nullopt});
}

// Device paths (a colon-separated list for joysticks): anything but a device is left out, as
// SDL would wait in the open of a FIFO and no regular file is a joystick or a sound card.
void reviewDevices(const char* name, const char* value, std::vector<EnvironmentFix>& out) {
    const std::string_view list(value);
    std::string kept;
    std::string problem;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        const std::string path(list.substr(start, end - start));
        struct stat info {};
        const FileKind kind = path.empty() ? FileKind::Missing : kindOf(path.c_str(), info);
        if (kind == FileKind::Missing || kind == FileKind::CharacterDevice) {
            if (!path.empty())
                kept += (kept.empty() ? "" : ":") + path;
        } else if (problem.empty()) {
            problem = named(name, value) + ": " + quoted(path) + " is " + describe(kind) +
                      ", not a device";
        }
        start = end + 1;
    }
    if (problem.empty())
        return;
    out.push_back({name, problem + (kept.empty() ? "; ignored" : "; left out"),
                   kept.empty() ? std::nullopt : std::optional<std::string>(kept)});
}

// Libraries SDL loads by a path: loading a FIFO would block like any other open.
void reviewLibrary(const char* name, const char* value, std::vector<EnvironmentFix>& out) {
    if (std::string_view(value).find('/') == std::string_view::npos)
        return; // a name the loader looks up in its own folders
    struct stat info {};
    const FileKind kind = kindOf(value, info);
    if (kind == FileKind::Missing || kind == FileKind::Regular)
        return;
    out.push_back({name,
                   named(name, value) + " names " + describe(kind) + ", not a library; ignored",
                   std::nullopt});
}

// The dummy and offscreen video drivers can write every frame to a picture file in the working
// folder: some 27 MB a second, until the disk is full.
void reviewFrameDump(const char* name, const char* value, std::vector<EnvironmentFix>& out) {
    if (std::atoi(value) == 0)
        return; // how SDL reads it: off
    out.push_back({name,
                   named(name, value) + " would write a picture file for every frame; ignored",
                   std::nullopt});
}

using Review = void (*)(const char*, const char*, std::vector<EnvironmentFix>&);
struct Rule {
    const char* name;
    Review review;
};
constexpr Rule kRules[] = {
    {"SDL_DISKAUDIOFILE", reviewStreamFile},
    {"SDL_DISKAUDIOFILEIN", reviewStreamFile},
    {"SDL_GAMECONTROLLERCONFIG_FILE", reviewMappingFile},
    {"SDL_JOYSTICK_DEVICE", reviewDevices},
    {"SDL_PATH_DSP", reviewDevices},
    {"SDL_OPENGL_LIBRARY", reviewLibrary},
    {"SDL_VIDEO_GL_DRIVER", reviewLibrary},
    {"SDL_VIDEO_EGL_DRIVER", reviewLibrary},
    {"SDL_OPENGL_ES_DRIVER", reviewLibrary},
    {"SDL_VULKAN_LIBRARY", reviewLibrary},
    {"SDL_X11_XCB_LIBRARY", reviewLibrary},
    {"SDL_VIDEO_DUMMY_SAVE_FRAMES", reviewFrameDump},
    {"SDL_VIDEO_OFFSCREEN_SAVE_FRAMES", reviewFrameDump},
};

} // namespace

std::vector<EnvironmentFix>
reviewSdlEnvironment(const std::function<const char*(const char*)>& lookup) {
    std::vector<EnvironmentFix> fixes;
    for (const NumberRange& range : kNumbers) {
        if (const char* value = lookup(range.name))
            reviewNumber(range, value, fixes);
    }
    for (const Rule& rule : kRules) {
        if (const char* value = lookup(rule.name))
            rule.review(rule.name, value, fixes);
    }
    return fixes;
}

void guardSdlEnvironment(std::ostream& out) {
    for (const EnvironmentFix& fix :
         reviewSdlEnvironment([](const char* name) { return std::getenv(name); })) {
        out << fix.problem << std::endl;
        if (fix.replacement)
            ::setenv(fix.name.c_str(), fix.replacement->c_str(), 1);
        else
            ::unsetenv(fix.name.c_str());
    }
}

} // namespace zindle
