#pragma once
// From a meaning back to its key: the key code bound to key (an Input constant), as records
// carry it; 0 for a constant no key is bound to. The bindings are Input's one table.
namespace zindle {

int keyCodeOf(int key);

} // namespace zindle
