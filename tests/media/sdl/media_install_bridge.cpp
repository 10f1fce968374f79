// Stand-ins for the framework's backend registry, so that these tests link before (and after)
// the framework's own definitions exist: the framework's strong definitions win where present.
#include "framework/media.h"

#include <stdexcept>

namespace zindle {

namespace {
std::unique_ptr<MediaBackend>& installed() {
    static std::unique_ptr<MediaBackend> backend;
    return backend;
}
} // namespace

[[gnu::weak]] MediaBackend& media_install(std::unique_ptr<MediaBackend> backend) {
    installed() = std::move(backend);
    return *installed();
}

[[gnu::weak]] MediaBackend& media_backend() {
    if (!installed())
        throw std::logic_error("No media backend is installed");
    return *installed();
}

} // namespace zindle
