// Helper for the count of running copies. "count": prints Util::countLaunchedApp().
// "wait": prints "ready", then stays until its standard input is closed.
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "model/Util.h"

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "count") == 0) {
        std::printf("%d\n", Util::countLaunchedApp());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "wait") == 0) {
        std::printf("ready\n");
        std::fflush(stdout);
        char c;
        while (::read(STDIN_FILENO, &c, 1) > 0) {
        }
        return 0;
    }
    return 2;
}
