'''The headless daemon end to end: vigilo-app --headless with private XDG
folders, a private system bus (mock logind and UPower) and session bus (mock
notification server), driven through the real `vigilo` command line.'''

import json
import os
import shutil
import signal
import stat
import subprocess
import tempfile
import time

import dbus

from mockbus import MockBusTestCase, bin_dir

NOTIFICATIONS = ('org.freedesktop.Notifications', '/org/freedesktop/Notifications')
REASON = 'Vigilo keeping system awake'


class DaemonTestCase(MockBusTestCase):

    def setUp(self):
        super().setUp()
        self.bus.add_template('upower', system_bus=True)
        self.notification_server = self.bus.add_template('notification_daemon', system_bus=False)
        self.home = tempfile.mkdtemp(prefix='vigilo-home-')
        self.addCleanup(shutil.rmtree, self.home, ignore_errors=True)
        runtime = os.path.join(self.home, 'run')
        os.mkdir(runtime, 0o700)
        self.env = dict(self.bus.env, HOME=self.home, XDG_RUNTIME_DIR=runtime,
                        XDG_CONFIG_HOME=os.path.join(self.home, 'config'),
                        XDG_DATA_HOME=os.path.join(self.home, 'data'))
        for name in ('DISPLAY', 'WAYLAND_DISPLAY'):
            self.env.pop(name, None)
        self.socket = os.path.join(runtime, f'vigilo-{os.getuid()}.sock')
        # Only our own stand-in counts as work: this machine runs builds and
        # Python mocks that the default patterns would match.
        os.makedirs(os.path.join(self.home, 'config', 'Vigilo'))
        with open(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'), 'w', encoding='utf-8') as f:
            json.dump({'watchPatterns': ['ollama'], 'pollInterval': 1}, f)
        self.daemon = self.start_daemon()

    def start_daemon(self):
        # The log goes to a file: a pipe nobody reads could fill and stall it.
        log = open(os.path.join(self.home, 'daemon.log'), 'ab')  # pylint: disable=consider-using-with
        daemon = subprocess.Popen([os.path.join(bin_dir(), 'vigilo-app'), '--headless'], env=self.env,
                                  stdout=subprocess.DEVNULL, stderr=log)
        log.close()

        def stop():
            if daemon.poll() is None:
                daemon.kill()
            daemon.wait()
        self.addCleanup(stop)
        self.wait_until(lambda: self.vigilo('status').returncode == 0, 10, 'the daemon did not answer')
        return daemon

    def vigilo(self, *args):
        return subprocess.run([os.path.join(bin_dir(), 'vigilo'), *args], env=self.env, capture_output=True,
                              text=True, timeout=30, check=False)

    def our_locks(self):
        return [row for row in self.bus.logind_inhibitors() if row[2] == REASON]

    def notifications(self):
        calls = self.bus.call(False, *NOTIFICATIONS, 'org.freedesktop.DBus.Mock', 'GetCalls')
        return [(str(args[3]), str(args[4]), str(args[0]), dict(args[6]))
                for _, method, args in calls if method == 'Notify']


class DaemonCommands(DaemonTestCase):

    def test_start_status_and_stop_hold_and_release_the_lock(self):
        result = self.vigilo('start')
        self.assertEqual(result.stdout, 'started\nmode: Awake On\n')
        self.assertEqual(self.our_locks(), [('idle', 'Vigilo', REASON, 'block', 1000, 123456)])
        status = self.vigilo('status').stdout.splitlines()
        self.assertEqual(status[:3], ['Mode:       Awake On', 'Assertion:  active', 'Clamshell:  off'])
        # Normal or unknown as this machine's sensors have it: test_daemon_launch tells them apart.
        self.assertTrue(any(line.startswith('Thermal:    ') for line in status), status)
        self.assertEqual(self.vigilo('stop').stdout, 'stopped\nmode: Awake Off\n')
        self.wait_until(lambda: not self.our_locks(), message='lock still held after stop')

    def test_timer_ends_by_itself(self):
        self.assertEqual(self.vigilo('timer', '2').stdout, 'mode: Timer Active\n')
        self.assertTrue(self.our_locks())
        self.wait_until(lambda: self.vigilo('status').stdout.startswith('Mode:       Awake Off'), 6,
                        'the timer did not end')
        self.assertEqual(self.our_locks(), [])

    def test_auto_mode_follows_a_watched_process(self):
        folder = tempfile.mkdtemp(prefix='vigilo-ollama-')
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        ollama = os.path.join(folder, 'ollama')
        shutil.copy('/bin/sleep', ollama)
        child = subprocess.Popen([ollama, '300'])
        self.addCleanup(child.kill)

        self.assertEqual(self.vigilo('autowatch', 'on').stdout, 'mode: Auto Mode\n')
        self.wait_until(lambda: 'Tasks:      ollama\n' in self.vigilo('status').stdout, 10, 'ollama not listed')
        self.assertTrue(self.our_locks())

        child.kill()
        child.wait()
        self.wait_until(lambda: not self.our_locks(), 10, 'lock kept after the task ended')
        self.wait_until(lambda: any(n[0] == 'All tasks finished' for n in self.notifications()), 5,
                        'no notification')
        title, body, app, hints = next(n for n in self.notifications() if n[0] == 'All tasks finished')
        self.assertEqual(app, 'Vigilo')
        self.assertEqual(hints.get('desktop-entry'), 'com.vigilo.app')
        self.assertIn('can sleep again', body)

    def test_watch_list_edits_are_saved(self):
        for args in (('watch', 'foo', 'bar', 'foo'), ('unwatch', 'ollama')):
            result = self.vigilo(*args)
            self.assertEqual((result.returncode, result.stdout, result.stderr), (0, '', ''))
        patterns = self.vigilo('patterns').stdout.splitlines()
        self.assertEqual(patterns, ['foo', 'bar'])

        def saved():  # written in the background, after the reply
            with open(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'), encoding='utf-8') as f:
                return json.load(f)['watchPatterns']
        self.wait_until(lambda: saved() == patterns, 5, 'the watch list was not saved')

    def test_watch_list_limits_keep_replies_and_settings_whole(self):
        patterns = [f'{i:03d}' + 'x' * 200 for i in range(400)]
        results = [self.vigilo('watch', *patterns[i:i + 20]) for i in range(0, len(patterns), 20)]
        refused = [r for r in results if r.returncode != 0]
        self.assertTrue(refused)
        self.assertEqual(refused[0].stderr, 'bad request: the watch list would be longer than 32768 bytes\n')
        self.assertEqual(self.vigilo('watch', 'y' * 257).stderr,
                         'bad request: a watch pattern is longer than 256 bytes\n')
        self.assertEqual(self.vigilo('watch', '  ', ' spaced ').returncode, 0)
        kept = self.vigilo('patterns').stdout.splitlines()
        self.assertEqual(kept[0], 'ollama')
        self.assertEqual(kept[-1], 'spaced')
        self.assertEqual(self.vigilo('status').returncode, 0)

        self.daemon.send_signal(signal.SIGTERM)
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        self.daemon = self.start_daemon()
        self.assertEqual(self.vigilo('patterns').stdout.splitlines(), kept)

    def test_a_fifo_as_activity_file_is_set_aside_at_start(self):
        self.daemon.send_signal(signal.SIGTERM)
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        activity = os.path.join(self.home, 'data', 'Vigilo', 'activity.json')
        os.remove(activity)
        os.mkfifo(activity)
        self.daemon = self.start_daemon()
        self.daemon.send_signal(signal.SIGTERM)
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        self.assertTrue(stat.S_ISFIFO(os.stat(activity + '.bad').st_mode))
        with open(activity, encoding='utf-8') as f:
            self.assertEqual([event['kind'] for event in json.load(f)][-1], 'launched')

    def test_notify_reaches_the_notification_server(self):
        self.assertEqual(self.vigilo('notify', 'Done', 'all', 'good').returncode, 0)
        self.wait_until(lambda: ('Done', 'all good') in [n[:2] for n in self.notifications()], 5)

    def test_phone_push_leaves_through_the_online_module(self):
        import http.server
        import threading
        received = []

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):  # noqa: N802
                length = int(self.headers.get('Content-Length', 0))
                received.append((self.path, self.headers.get('Title'), self.rfile.read(length).decode()))
                self.send_response(200)
                self.end_headers()

            def log_message(self, *_):
                pass

        server = http.server.HTTPServer(('127.0.0.1', 0), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.shutdown)
        # Settings are read when the daemon starts: restart it with push on.
        self.daemon.terminate()
        self.daemon.wait(timeout=10)
        with open(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'), 'w', encoding='utf-8') as f:
            json.dump({'watchPatterns': ['ollama'], 'pushProvider': 'ntfy', 'ntfyTopic': 'builds',
                       'ntfyServer': f'http://127.0.0.1:{server.server_port}'}, f)
        self.daemon = self.start_daemon()
        self.assertEqual(self.vigilo('notify', 'Done', 'all', 'good').returncode, 0)
        self.wait_until(lambda: received, 10, 'no push arrived')
        self.assertEqual(received, [('/builds', 'Done', 'all good')])
        # Between requests nothing of the HTTP client stays open for a
        # command started later to inherit.
        self.wait_until(lambda: not self.descriptors_without_cloexec(), 5,
                        'descriptors without close-on-exec after a push')

    def descriptors_without_cloexec(self):
        found = []
        folder = f'/proc/{self.daemon.pid}'
        for fd in os.listdir(folder + '/fd'):
            try:
                with open(f'{folder}/fdinfo/{fd}', encoding='ascii') as f:
                    flags = next(int(line.split()[1], 8) for line in f if line.startswith('flags:'))
                target = os.readlink(f'{folder}/fd/{fd}')
            except FileNotFoundError:
                continue  # closed meanwhile
            if int(fd) > 2 and not flags & os.O_CLOEXEC:
                found.append((fd, target))
        return found

    def test_second_instance_is_refused_and_leaves_the_first_ones_files_alone(self):
        import socket as sockets
        with sockets.socket(sockets.AF_UNIX, sockets.SOCK_STREAM) as silent:
            silent.connect(self.socket)  # holds the server, as once made the old ping guard give up
            inode = os.stat(self.socket).st_ino
            temporary = os.path.join(self.home, 'config', 'Vigilo', '.preferences.json.InFlt1')
            open(temporary, 'w', encoding='utf-8').close()  # a write of the first instance in flight
            second = subprocess.run([os.path.join(bin_dir(), 'vigilo-app'), '--headless'], env=self.env,
                                    capture_output=True, text=True, timeout=30, check=False)
            self.assertEqual(second.returncode, 1)
            self.assertEqual(second.stderr.count('Vigilo is already running'), 1, second.stderr)
            self.assertEqual(os.stat(self.socket).st_ino, inode)
            self.assertTrue(os.path.exists(temporary))
            version = subprocess.run([os.path.join(bin_dir(), 'vigilo-app'), '--version'], env=self.env,
                                     capture_output=True, text=True, timeout=30, check=False)
            self.assertEqual((version.returncode, version.stdout), (0, 'vigilo-app 1.0.0\n'))  # no lock needed
        self.assertEqual(self.vigilo('status').returncode, 0)
        self.assertIsNone(self.daemon.poll())

    def test_sigterm_releases_everything(self):
        self.vigilo('start')
        self.assertTrue(self.our_locks())
        self.daemon.send_signal(signal.SIGTERM)
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        self.assertEqual(self.our_locks(), [])
        self.assertFalse(os.path.exists(self.socket))
        result = self.vigilo('status')
        self.assertEqual(result.returncode, 1)
        self.assertIn("Vigilo isn't running", result.stderr)

    def test_bad_requests_do_not_disturb_other_clients(self):
        import socket as sockets
        for payload in (b'not json\n', b'{"cmd":"reboot"}\n', b'\xff\xfe\n', b'[' * 60000 + b'\n'):
            with sockets.socket(sockets.AF_UNIX, sockets.SOCK_STREAM) as client:
                client.connect(self.socket)
                client.sendall(payload)
                client.shutdown(sockets.SHUT_WR)
                reply = client.makefile('rb').read()
            self.assertTrue(reply.startswith(b'{"ok":false,"message":"bad request: '), reply[:80])
        self.assertEqual(self.vigilo('status').returncode, 0)


class DaemonStartUp(DaemonTestCase):
    '''Start-up and the process around it; each test starts its own daemon.'''

    def setUp(self):
        super().setUp()
        self.daemon.terminate()
        self.assertEqual(self.daemon.wait(timeout=10), 0)

    def test_temporaries_of_interrupted_writes_are_removed_at_start(self):
        stale = [os.path.join(self.home, 'config', 'Vigilo', '.preferences.json.Ab12Cd'),
                 os.path.join(self.home, 'data', 'Vigilo', '.activity.json.x9Y8z7')]
        kept = os.path.join(self.home, 'config', 'Vigilo', '.preferences.json.keep')
        os.makedirs(os.path.join(self.home, 'data', 'Vigilo'), exist_ok=True)
        for path in stale + [kept]:
            open(path, 'w', encoding='utf-8').close()
        self.daemon = self.start_daemon()
        self.assertEqual([os.path.exists(path) for path in stale], [False, False])
        self.assertTrue(os.path.exists(kept))

    def test_daemon_outlives_the_reader_of_its_output(self):
        # vigilo-app --headless 2>&1 | head -1
        if os.path.exists('/run/systemd/journal/socket'):
            self.skipTest('the log goes to the journal here, not to the pipe')
        daemon = subprocess.Popen([os.path.join(bin_dir(), 'vigilo-app'), '--headless'], env=self.env,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.addCleanup(daemon.wait)
        self.addCleanup(daemon.kill)
        daemon.stdout.readline()
        daemon.stdout.close()
        self.wait_until(lambda: self.vigilo('status').returncode == 0, 10, 'the daemon did not answer')
        for command in ('start', 'stop', 'start'):  # each logs a line into the closed pipe
            self.assertEqual(self.vigilo(command).returncode, 0)
        self.assertIsNone(daemon.poll())
        self.assertEqual(os.stat(self.socket).st_mode & 0o777, 0o600)

    def test_sigterm_during_start_up_ends_it_promptly(self):
        # A FIFO where the activity log should be can hold start-up up.
        activity = os.path.join(self.home, 'data', 'Vigilo', 'activity.json')
        os.remove(activity)
        os.mkfifo(activity)
        daemon = subprocess.Popen([os.path.join(bin_dir(), 'vigilo-app'), '--headless'], env=self.env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(daemon.wait)
        self.addCleanup(daemon.kill)
        time.sleep(1)  # well into start-up, whether it blocks there or not
        daemon.send_signal(signal.SIGTERM)
        self.assertIn(daemon.wait(timeout=5), (0, -signal.SIGTERM))
        self.assertEqual(self.our_locks(), [])
        self.assertFalse(os.path.exists(self.socket))


class DaemonWithoutPowerServices(DaemonTestCase):
    '''No logind on the system bus and no GNOME or KDE on the session bus.'''

    WITH_LOGIND = False

    def test_start_succeeds_but_warns_that_nothing_keeps_awake(self):
        result = self.vigilo('start')
        self.assertEqual((result.returncode, result.stdout), (0, 'started\nmode: Awake On\n'))
        self.assertTrue(result.stderr.startswith('Warning: could not keep the computer awake'), result.stderr)
        result = self.vigilo('timer', '60')
        self.assertEqual((result.returncode, result.stdout), (0, 'mode: Timer Active\n'))
        self.assertIn('Warning: ', result.stderr)
        self.assertEqual(self.vigilo('stop').stderr, '')
        self.assertEqual(self.vigilo('autowatch', 'on').stderr, '')  # nothing matched: no lock asked for


if __name__ == '__main__':
    import unittest
    unittest.main()
