#pragma once
// Which file a request for the web page names, if any. The target is untrusted: it may not climb
// out of the folder by "..", by an encoded "..", or by a symbolic link that points outside.
#include <filesystem>
#include <string_view>
#include <variant>

namespace zindle::relay {

enum class StaticRefusal { BadRequest, NotFound };

// root must be canonical. "/" and folders serve their index.html.
std::variant<std::filesystem::path, StaticRefusal>
resolveStaticFile(const std::filesystem::path& root, std::string_view target);

// The Content-Type for a file's name; the browser refuses to compile wasm served as anything
// other than application/wasm.
std::string_view contentTypeFor(const std::filesystem::path& file);

} // namespace zindle::relay
