'''Figures for the running daemon, on private buses with a mock logind.

1. `vigilo status` round trip, against `busctl --system call` of a logind
   property and `systemd-inhibit --list` (goal: vigilo no slower than either).
2. The idle daemon: resident memory after start (goal under 8 MB), CPU time
   and context switches over SECONDS in Off mode and in Auto Mode with nothing
   matched (goal under 0.1 % of one core).
'''

import json
import os
import subprocess
import sys
import tempfile
import time

from headless_daemon import ROOT, headless_daemon

SECONDS = int(os.environ.get('VIGILO_BENCH_IDLE_SECONDS', '60'))


def binary(name):
    for folder in (os.environ.get('VIGILO_BENCH_BIN'), os.path.join(ROOT, 'build', 'bin')):
        if folder and os.path.exists(os.path.join(folder, name)):
            return os.path.join(folder, name)
    sys.exit(f'{name} not built')


def hyperfine_means(commands, env):
    with tempfile.NamedTemporaryFile(suffix='.json') as out:
        subprocess.run(['hyperfine', '-N', '--warmup', '20', '--runs', '300', '--export-json', out.name,
                        *commands], env=env, check=True, stdout=subprocess.DEVNULL)
        results = json.load(open(out.name, encoding='utf-8'))['results']
    return [r['mean'] * 1e3 for r in results]


def process_figures(pid):
    with open(f'/proc/{pid}/stat', encoding='utf-8') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    ticks = os.sysconf('SC_CLK_TCK')
    cpu = (int(fields[11]) + int(fields[12])) / ticks
    switches = 0
    rss_kb = 0
    for task in os.listdir(f'/proc/{pid}/task'):
        with open(f'/proc/{pid}/task/{task}/status', encoding='utf-8') as f:
            for line in f:
                if line.startswith(('voluntary_ctxt_switches', 'nonvoluntary_ctxt_switches')):
                    switches += int(line.split()[1])
    with open(f'/proc/{pid}/status', encoding='utf-8') as f:
        for line in f:
            if line.startswith('VmRSS'):
                rss_kb = int(line.split()[1])
    return cpu, switches, rss_kb


def idle_cost(pid, label):
    cpu0, sw0, _ = process_figures(pid)
    time.sleep(SECONDS)
    cpu1, sw1, _ = process_figures(pid)
    share = (cpu1 - cpu0) / SECONDS * 100
    per_minute = (sw1 - sw0) * 60 / SECONDS
    verdict = 'ok' if share < 0.1 else 'OVER GOAL'
    print(f'  {label:<28} CPU {share:.3f} % of one core, {per_minute:.0f} context switches/min  [{verdict}]')


def main():
    vigilo, app = binary('vigilo'), binary('vigilo-app')
    preferences = {'watchPatterns': ['no-such-workload-vigilo-bench']}
    with headless_daemon(app, vigilo, preferences) as (daemon, env):
        print('Round trip, mean of 300 runs (ms):')
        names = ['vigilo status', 'busctl --system call (logind property)', 'systemd-inhibit --list']
        means = hyperfine_means([
            f'{vigilo} status',
            'busctl --system call org.freedesktop.login1 /org/freedesktop/login1 '
            'org.freedesktop.DBus.Properties Get ss org.freedesktop.login1.Manager IdleHint',
            'systemd-inhibit --list --no-pager'], env)
        for name, mean in zip(names, means):
            print(f'  {name:<40} {mean:7.2f}')
        verdict = 'ok' if means[0] <= min(means[1:]) else 'SLOWER THAN GOAL'
        print(f'  vigilo status / fastest other: {means[0] / min(means[1:]):.2f}  [{verdict}]')

        time.sleep(1)
        _, _, rss_kb = process_figures(daemon.pid)
        verdict = 'ok' if rss_kb < 8 * 1024 else 'OVER GOAL'
        print(f'Idle daemon: resident memory {rss_kb / 1024:.1f} MB  [{verdict}]')
        print(f'Idle daemon over {SECONDS} s:')
        idle_cost(daemon.pid, 'Off mode')
        subprocess.run([vigilo, 'autowatch', 'on'], env=env, check=True, capture_output=True)
        idle_cost(daemon.pid, 'Auto Mode, nothing matched')


if __name__ == '__main__':
    main()
