'''Figures for the tray role, on Xvfb with private buses (a mock logind and a
panel's StatusNotifierWatcher on the session bus).

1. Time from start to the tray item registered with the watcher, warm
   (median of RUNS; goal under 300 ms).
2. Resident memory after start, idle, with the menu built (goal under 40 MB).
3. CPU over SECONDS in Off mode (goal under 0.1 % of one core).
'''

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'daemon'))
from headless_daemon import ROOT  # noqa: E402 pylint: disable=wrong-import-position
from bench_daemon import binary, idle_cost, process_figures  # noqa: E402 pylint: disable=wrong-import-position
from mockbus import MockBus  # noqa: E402 pylint: disable=wrong-import-position

RUNS = 7
WATCHER = ('org.kde.StatusNotifierWatcher', '/StatusNotifierWatcher')
TEMPLATE = os.path.join(ROOT, 'tests', 'integration', 'templates', 'status_notifier_watcher.py')


def start_xvfb():
    read, write = os.pipe()
    server = subprocess.Popen(['Xvfb', '-displayfd', str(write), '-nolisten', 'tcp'], pass_fds=(write,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        return server, ':' + f.readline().strip()


def registered(bus):
    return len(bus.call(False, *WATCHER, 'org.freedesktop.DBus.Properties', 'Get', WATCHER[0],
                        'RegisteredStatusNotifierItems'))


def start_tray(app, env, bus):
    '''Starts the tray; returns it and the seconds until its item registered.'''
    before = registered(bus)
    started = time.monotonic()
    tray = subprocess.Popen([app], env=env, stderr=subprocess.DEVNULL)
    while registered(bus) == before:
        if time.monotonic() - started > 10 or tray.poll() is not None:
            tray.kill()
            sys.exit('the tray item did not register')
        time.sleep(0.002)
    return tray, time.monotonic() - started


def main():
    if not shutil.which('Xvfb'):
        print('  Xvfb is missing: skipped')
        return
    app = binary('vigilo-app')
    home = tempfile.mkdtemp(prefix='vigilo-bench-')
    server, display = start_xvfb()
    try:
        with MockBus() as bus:
            bus.add_logind()
            bus.add_template(TEMPLATE, system_bus=False)
            runtime = os.path.join(home, 'run')
            os.mkdir(runtime, 0o700)
            env = dict(bus.env, HOME=home, XDG_RUNTIME_DIR=runtime, DISPLAY=display,
                       XDG_CONFIG_HOME=os.path.join(home, 'config'), XDG_DATA_HOME=os.path.join(home, 'data'))
            env.pop('WAYLAND_DISPLAY', None)
            times = []
            for _ in range(RUNS):
                tray, seconds = start_tray(app, env, bus)
                times.append(seconds * 1e3)
                tray.terminate()
                tray.wait(timeout=10)
            median = statistics.median(times)
            verdict = 'ok' if median < 300 else 'OVER GOAL'
            print(f'  start to item registered      median {median:.0f} ms of {RUNS} '
                  f'(min {min(times):.0f}, max {max(times):.0f})  [{verdict}]')

            tray, _ = start_tray(app, env, bus)
            time.sleep(2)
            _, _, rss_kb = process_figures(tray.pid)
            verdict = 'ok' if rss_kb < 40 * 1024 else 'OVER GOAL'
            print(f'  resident memory, idle         {rss_kb / 1024:.1f} MB  [{verdict}]')
            idle_cost(tray.pid, 'idle, Off mode')
            tray.terminate()
            tray.wait(timeout=10)
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == '__main__':
    main()
