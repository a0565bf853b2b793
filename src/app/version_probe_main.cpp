// Prints the file version that the About box would show, read from this program's own version
// resource: a check of the Windows resource and its reader in the core-only cross build.
#include <cstdio>

#include "app/version_resource.h"

int main() {
    const korvel::TVersionResource resource;
    std::printf("Version: %s\n", resource.VersionInfo().FileVersion.c_str());
    return resource.VersionInfo().FileVersion.empty() ? 1 : 0;
}
