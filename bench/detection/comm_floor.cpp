// The floor as a poller: reads every process's short name once every
// interval given in seconds (1 when none), as the daemon's timer does, until
// it is ended. daemon_poll.py runs it beside the daemon and reads the CPU
// time of both over the same window.

#include <time.h>

#include <cstdlib>

#include "comm_floor.h"

int main(int argc, char** argv) {
    const long seconds = argc > 1 ? std::atol(argv[1]) : 1;
    timespec due{};
    ::clock_gettime(CLOCK_MONOTONIC, &due);
    for (;;) {
        if (vigilo::bench::readEveryComm() < 0) return 1;
        // On a fixed beat, so the passes in a window are its length in intervals.
        due.tv_sec += seconds > 0 ? seconds : 1;
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) != 0) {
        }
    }
}
