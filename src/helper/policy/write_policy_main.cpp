// vigilo-write-policy <helper path> <output file>: writes the helper's polkit
// policy at build time, so it can never name a verb the helper does not
// know or leave one out.
#include <cstdio>
#include <fstream>

#include "helper/policy/policy_document.h"

int main(int argc, char** argv) {
    if (argc != 3 || argv[1][0] != '/') {
        std::fputs("usage: vigilo-write-policy <absolute helper path> <output file>\n", stderr);
        return 2;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << vigilo::polkitPolicyDocument(argv[1]);
    out.close();
    if (!out) {
        std::fprintf(stderr, "vigilo-write-policy: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
