'''What Auto Mode's poll costs the whole daemon, per process and poll.

Starts `vigilo-app --headless` on private buses with a mock logind, the 49
default watch patterns and a poll every second, switches Auto Mode on, and
beside it the floor: bench_detection_comm_floor, a bare loop that only opens,
reads and closes /proc/<pid>/comm for every process, also every second. Both
wake alike, so caches and the machine's load treat them alike. Reads the CPU
time of both (the daemon's every thread: timer, scan, publish, IPC) over the
same window and divides it by the polls in that window and the processes
present.
'''

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'daemon'))
from headless_daemon import headless_daemon  # noqa: E402

POLL_SECONDS = 1  # the shortest interval the settings allow
WINDOW_SECONDS = int(os.environ.get('VIGILO_BENCH_POLL_SECONDS', '30'))
WARM_UP_SECONDS = 3


def process_cpu_seconds(pid):
    '''CPU time of every thread of pid, in nanoseconds' precision. Linux names
    another process's CPU clock as clock_getcpuclockid() would: the pid,
    complemented, shifted past the three clock-type bits, type 2 (scheduler).'''
    return time.clock_gettime(((~pid) << 3) | 2)


def measure(app, vigilo, floor, count_processes):
    '''Returns CPU seconds per poll of the daemon and of the floor, the polls
    and the mean number of processes present.'''
    with headless_daemon(app, vigilo, {'pollInterval': POLL_SECONDS}) as (daemon, env):
        subprocess.run([vigilo, 'autowatch', 'on'], env=env, check=True, capture_output=True)
        floor_loop = subprocess.Popen([floor, str(POLL_SECONDS)])
        try:
            time.sleep(WARM_UP_SECONDS)
            pids = (daemon.pid, floor_loop.pid)
            processes = count_processes()
            cpu0, wall0 = [process_cpu_seconds(pid) for pid in pids], time.monotonic()
            time.sleep(WINDOW_SECONDS)
            cpu1, wall1 = [process_cpu_seconds(pid) for pid in pids], time.monotonic()
            processes = (processes + count_processes()) / 2
        finally:
            floor_loop.kill()
            floor_loop.wait()
    # The floor keeps a fixed beat and the daemon re-arms its timer within a
    # millisecond of each firing, so for both the polls in the window are its
    # length in periods, to within about 1 %.
    polls = (wall1 - wall0) / POLL_SECONDS
    daemon_cpu, floor_cpu = (after - before for before, after in zip(cpu0, cpu1))
    return daemon_cpu / polls, floor_cpu / polls, polls, processes
