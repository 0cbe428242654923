// A listing on real drives leaves out a drive whose node the user may not open. The
// backend records each such node with its errno (platform/AccessRefusals.h); this tells
// the user which nodes and what to do.
#pragma once

#include <ostream>
#include <set>
#include <string>

namespace cli {

class PermissionWatch {
public:
    PermissionWatch();   // forgets refusals noted before it
    PermissionWatch(const PermissionWatch&) = delete;
    PermissionWatch& operator=(const PermissionWatch&) = delete;

    // Writes the hint when a node was refused since construction; nothing otherwise.
    void printHint(std::ostream& err) const;
};

}  // namespace cli
