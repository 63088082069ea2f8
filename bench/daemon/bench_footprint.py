'''What the idle headless daemon holds, on a session bus where a Secret
Service can be started (gnome-keyring, activatable, as on a GNOME desktop):
resident memory, threads (the most seen while sampling), and whether
libcurl, libsecret or the online module are mapped.

Goal without push or webhooks: under 8 MB resident, at most 3 threads, none
of those libraries mapped, also after an alert has gone out. With phone
push and a webhook configured: the alert reaches both receivers (the online
module is loaded for it).
'''

import http.server
import os
import sys
import threading
import time

import dbus

from headless_daemon import ROOT, headless_daemon

sys.path.insert(0, os.path.join(ROOT, 'tests', 'integration'))
from secret_service import make_keyring_activatable, store_webhooks  # noqa: E402

# Long enough for the worker pool's idle threads to end.
SETTLE_SECONDS = float(os.environ.get('VIGILO_BENCH_SETTLE_SECONDS', '5'))
SAMPLE_SECONDS = float(os.environ.get('VIGILO_BENCH_SAMPLE_SECONDS', '5'))
NM = ('org.freedesktop.NetworkManager', '/org/freedesktop/NetworkManager')
LIBRARIES = ('libcurl', 'libsecret', 'libvigilo-online')


def binary(name):
    for folder in (os.environ.get('VIGILO_BENCH_BIN'), os.path.join(ROOT, 'build', 'bin')):
        if folder and os.path.exists(os.path.join(folder, name)):
            return os.path.join(folder, name)
    sys.exit(f'{name} not built')


class Receiver:
    '''A local HTTP server that counts the requests it answers.'''

    def __init__(self):
        self.received = []
        received = self.received

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):  # noqa: N802 (the base class's name)
                length = int(self.headers.get('Content-Length', 0))
                received.append((self.path, self.rfile.read(length)))
                self.send_response(200)
                self.end_headers()

            def log_message(self, *_):
                pass

        self.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = f'http://127.0.0.1:{self.server.server_port}'

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def figures(pid):
    '''Resident memory in kB, the most threads seen, and which of LIBRARIES
    are mapped, over SAMPLE_SECONDS.'''
    most_threads = 0
    deadline = time.monotonic() + SAMPLE_SECONDS
    while time.monotonic() < deadline:
        most_threads = max(most_threads, len(os.listdir(f'/proc/{pid}/task')))
        time.sleep(0.05)
    with open(f'/proc/{pid}/status', encoding='utf-8') as f:
        rss_kb = next(int(line.split()[1]) for line in f if line.startswith('VmRSS'))
    with open(f'/proc/{pid}/maps', encoding='utf-8') as f:
        maps = f.read()
    return rss_kb, most_threads, [name for name in LIBRARIES if name in maps]


def report(label, pid, goal):
    time.sleep(SETTLE_SECONDS)
    rss_kb, threads, mapped = figures(pid)

    def verdict(ok):
        return (' [ok]' if ok else ' [OVER GOAL]') if goal else ''
    print(f'  {label:<22} {rss_kb / 1024:5.1f} MB resident{verdict(rss_kb < 8 * 1024)}, '
          f'{threads} threads{verdict(threads <= 3)}, '
          f'mapped: {", ".join(mapped) or "none of them"}{verdict(not mapped)}')


def lose_network(bus):
    nm = dbus.Interface(bus.connection(True).get_object(*NM), 'org.freedesktop.DBus.Mock')
    nm.SetGlobalConnectionState(dbus.UInt32(20))


def wait_for(predicate, what, seconds=15):
    deadline = time.monotonic() + seconds
    while not predicate():
        if time.monotonic() > deadline:
            sys.exit(f'{what} did not happen')
        time.sleep(0.05)


def run_case(app, vigilo, configured):
    push, hooks = Receiver(), Receiver()
    buses = []

    def setup(bus, home):
        buses.append(bus)
        if not make_keyring_activatable(bus, os.path.join(home, 'keyring')):
            sys.exit('gnome-keyring is not installed: no Secret Service to start')
        bus.add_template('networkmanager', system_bus=True)
        if configured:
            store_webhooks(bus, {'genericEnabled': True, 'genericURL': hooks.url + '/hook'})

    preferences = {'watchPatterns': ['no-such-workload-vigilo-bench']}
    if configured:
        preferences.update(pushProvider='ntfy', ntfyTopic='bench', ntfyServer=push.url)
    name = 'push and webhook configured' if configured else 'no push, no webhooks'
    try:
        with headless_daemon(app, vigilo, preferences, setup) as (daemon, _):
            print(f'{name}:')
            report('idle after start', daemon.pid, goal=not configured)
            lose_network(buses[0])
            if configured:
                wait_for(lambda: push.received and hooks.received, 'the alert reaching push and webhook')
            report('idle after an alert', daemon.pid, goal=not configured)
            if configured:
                print(f'  alert received: push {len(push.received)}, webhook {len(hooks.received)}')
    finally:
        push.close()
        hooks.close()


def main():
    app, vigilo = binary('vigilo-app'), binary('vigilo')
    print(f'Idle daemon, Secret Service activatable; libraries looked for: {", ".join(LIBRARIES)}')
    print(f'(each figure {SETTLE_SECONDS:g} s after the event, threads the most seen over {SAMPLE_SECONDS:g} s)')
    run_case(app, vigilo, configured=False)
    run_case(app, vigilo, configured=True)


if __name__ == '__main__':
    main()
