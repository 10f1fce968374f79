// The slot that holds the one installed media backend.
#include "framework/media.h"

#include <stdexcept>

namespace zindle {

namespace {
// The one active backend. A function-local static, so that it exists before any other static
// object's constructor could ask for it.
std::unique_ptr<MediaBackend>& installed() {
    static std::unique_ptr<MediaBackend> backend;
    return backend;
}
} // namespace

MediaBackend& media_install(std::unique_ptr<MediaBackend> backend) {
    if (!backend)
        throw std::logic_error("media_install needs a backend");
    auto& slot = installed();
    // The old backend goes only after the new one is in place, so nothing can see an empty slot.
    auto old = std::move(slot);
    slot = std::move(backend);
    old.reset();
    return *slot;
}

MediaBackend& media_backend() {
    auto& slot = installed();
    if (!slot)
        throw std::logic_error("No media layer installed");
    return *slot;
}

} // namespace zindle
