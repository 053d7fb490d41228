#include <cstdio>

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    std::fprintf(stderr, "usage: raidcli probe [--simulate[=scenario.json]]\n");
    return 2;
}
