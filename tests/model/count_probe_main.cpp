// Counts running copies of itself before, during and after a second copy (a forked child
// with the same executable) runs, and prints the three counts.
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

#include "model/Util.h"

int main()
{
    const int before = Util::countLaunchedApp();
    int gate[2];
    if (::pipe(gate) != 0)
        return 2;
    const pid_t copy = ::fork();
    if (copy == 0) {  // stays until the gate is closed
        char c;
        ::close(gate[1]);
        while (::read(gate[0], &c, 1) > 0) {
        }
        ::_exit(0);
    }
    const int during = Util::countLaunchedApp();
    ::close(gate[1]);
    if (copy < 0 || ::waitpid(copy, nullptr, 0) != copy)
        return 2;
    std::printf("%d %d %d\n", before, during, Util::countLaunchedApp());
    return 0;
}
