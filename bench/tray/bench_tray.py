'''Figures for the tray role, on Xvfb with private buses (a mock logind and a
panel's StatusNotifierWatcher on the session bus).

1. Time from start to the tray item registered with the watcher, warm
   (median of RUNS; goal under 300 ms).
2. Resident memory after start, idle, with the menu built and the chart
   windows never opened (goal under 40 MB), and again once the dashboard (Qt
   Charts) has been opened and closed (goal within 6 MB of the idle figure).
3. CPU over SECONDS in Off mode (goal under 0.1 % of one core).
'''

import ctypes
import re

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


class _ClientMessage(ctypes.Structure):
    _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),
                ('display', ctypes.c_void_p), ('window', ctypes.c_ulong), ('message_type', ctypes.c_ulong),
                ('format', ctypes.c_int), ('data', ctypes.c_long * 5), ('pad', ctypes.c_long * 12)]


def window_id(display, title):
    found = subprocess.run(['xwininfo', '-display', display, '-name', title], capture_output=True, text=True,
                           check=False)
    match = re.search(r'Window id: (0x[0-9a-f]+)', found.stdout)
    return int(match.group(1), 16) if match and 'IsViewable' in found.stdout else None


def close_window(display, window):
    '''Asks the window to close, as its title bar's close button does.'''
    x11 = ctypes.CDLL('libX11.so.6')
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    connection = x11.XOpenDisplay(display.encode())
    event = _ClientMessage(type=33, window=window, format=32,  # ClientMessage
                           message_type=x11.XInternAtom(connection, b'WM_PROTOCOLS', 0))
    event.data[0] = x11.XInternAtom(connection, b'WM_DELETE_WINDOW', 0)
    x11.XSendEvent(connection, window, 0, 0, ctypes.byref(event))
    x11.XFlush(connection)
    x11.XCloseDisplay(connection)


def wait_for(predicate, seconds):
    deadline = time.monotonic() + seconds
    while not predicate():
        if time.monotonic() > deadline:
            sys.exit('timed out')
        time.sleep(0.05)


def charts_libraries_kb(pid):
    '''Resident memory of Qt Charts and the OpenGL libraries it brings, the
    idle tray's cost of linking it.'''
    total = 0
    counting = False
    with open(f'/proc/{pid}/smaps', encoding='utf-8') as f:
        for line in f:
            fields = line.split()
            if re.match(r'^[0-9a-f]+-[0-9a-f]+ ', line):
                counting = len(fields) > 5 and re.search(r'libQt6(Charts|OpenGL)', fields[5]) is not None
            elif counting and fields[0] == 'Rss:':
                total += int(fields[1])
    return total


def dashboard_opened_and_closed(bus, display, pid, idle_kb):
    '''The dashboard opened through the shortcut service and closed again.'''
    bus.call(False, 'com.vigilo.app', '/com/vigilo/app', 'com.vigilo.app.Shortcuts', 'OpenDashboard')
    wait_for(lambda: window_id(display, 'Vigilo Dashboard') is not None, 10)
    time.sleep(1)
    close_window(display, window_id(display, 'Vigilo Dashboard'))
    wait_for(lambda: window_id(display, 'Vigilo Dashboard') is None, 10)
    time.sleep(2)
    _, _, rss_kb = process_figures(pid)
    grown = (rss_kb - idle_kb) / 1024
    verdict = 'ok' if grown <= 6 else 'OVER GOAL'
    print(f'  resident memory, dashboard    {rss_kb / 1024:.1f} MB after opened and closed once '
          f'(+{grown:.1f} MB)  [{verdict}]')


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
            print(f'  resident memory, idle         {rss_kb / 1024:.1f} MB, chart windows never opened  [{verdict}]')
            charts_kb = charts_libraries_kb(tray.pid)
            verdict = 'ok' if charts_kb <= 1024 else 'OVER GOAL'
            print(f'    of which Qt Charts\' libraries {charts_kb / 1024:.1f} MB (goal: within 1 MB)  [{verdict}]')
            idle_cost(tray.pid, 'idle, Off mode')
            dashboard_opened_and_closed(bus, display, tray.pid, rss_kb)
            tray.terminate()
            tray.wait(timeout=10)
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == '__main__':
    main()
