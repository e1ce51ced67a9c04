// "--check-skin PATH": the skin authors' lint, run headless from the command line. Prints the
// JSON description of the package on stdout; exit 0 loaded, 1 not loaded, 2 not a readable file.
#include <cstdio>
#include <string>
#include <vector>

#include "directui/SkinCheck.h"

int RunCheckSkin(const std::vector<std::u16string>& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: loxanradio --check-skin PATH\n");
        return 2;
    }
    std::string json;
    const int code = CheckSkinPackage(args[0], json);
    std::printf("%s\n", json.c_str());
    return code;
}
