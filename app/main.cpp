// The program's entry.
#include <cstdio>

int main() {
    std::printf("loxanradio %s\n", LOXANRADIO_VERSION);
    return 0;
}
