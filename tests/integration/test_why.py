'''`vigilo why` and the socket's why on private buses: dbusmock's logind with
locks the test takes and releases, and small GNOME and KDE stand-ins made
here with dbusmock's AddMethod and AddObject.'''

import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest

import dbus

from mockbus import LOGIND, PYTHON, MockBusTestCase, bin_dir, no_bus_env
from test_daemon import DaemonTestCase
from test_tray import TrayHostTestCase

GNOME = ('org.gnome.SessionManager', '/org/gnome/SessionManager', 'org.gnome.SessionManager')
KDE = ('org.kde.Solid.PowerManagement.PolicyAgent', '/org/kde/Solid/PowerManagement/PolicyAgent',
       'org.kde.Solid.PowerManagement.PolicyAgent')


def vigilo(*args, env):
    return subprocess.run([os.path.join(bin_dir(), 'vigilo'), *args], env=env, capture_output=True, text=True,
                          timeout=30, check=False)


class WhyMocks:
    '''What the tests share: locks on the mock logind and the desktop stand-ins.'''

    def take(self, what, who, why, mode='block'):
        proxy = self.bus.connection(True).get_object(LOGIND[0], LOGIND[1])
        fd = proxy.Inhibit(what, who, why, mode, dbus_interface=LOGIND[2]).take()
        self.addCleanup(lambda: _close_quietly(fd))
        self.logind_changed()
        return fd

    def release(self, fd):
        os.close(fd)
        # The mock drops the lock when it sees the hang-up; wait for that.
        deadline = time.monotonic() + 5
        count = len(self.bus.logind_inhibitors())
        while time.monotonic() < deadline and len(self.bus.logind_inhibitors()) == count:
            time.sleep(0.01)
        self.logind_changed()

    def logind_changed(self):
        '''What logind sends on every lock taken or released (the mock sends nothing).'''
        self.bus.mock_interface(True, LOGIND[0], LOGIND[1]).EmitSignal(
            'org.freedesktop.DBus.Properties', 'PropertiesChanged', 'sa{sv}as',
            [LOGIND[2], dbus.Dictionary({}, signature='sv'), dbus.Array(['BlockInhibited'], signature='s')])

    def plain_mock(self, name, path, interface, system_bus=False):
        process = subprocess.Popen(  # pylint: disable=consider-using-with
            [PYTHON, '-W', 'ignore::ImportWarning', '-m', 'dbusmock', '--system' if system_bus else '--session',
             name, path, interface], env=self.bus.env, stdout=subprocess.DEVNULL)

        def stop():
            if process.poll() is None:
                process.terminate()
                process.wait(timeout=5)
        self.addCleanup(stop)
        self.bus.wait_for_name(name, system_bus, process)
        self.stop_last_mock = stop
        return self.bus.mock_interface(system_bus, name, path)

    def gnome(self, inhibitors):
        '''GNOME's session manager with (app id, reason, flags) inhibitors.'''
        mock = self.plain_mock(*GNOME)
        paths = [f'/org/gnome/SessionManager/Inhibitor{i}' for i in range(len(inhibitors))]
        mock.AddMethod(GNOME[2], 'GetInhibitors', '', 'ao', f'ret = {paths!r}')
        for path, (app, reason, flags) in zip(paths, inhibitors):
            mock.AddObject(path, 'org.gnome.SessionManager.Inhibitor', {}, [
                ('GetAppId', '', 's', f'ret = {app!r}'),
                ('GetReason', '', 's', f'ret = {reason!r}'),
                ('GetFlags', '', 'u', f'ret = {flags}'),
                ('GetClientId', '', 'o', 'raise Exception("not for you")'),
            ])
        return mock

    def why(self, *args, env=None):
        return vigilo('why', *args, env=env or self.bus.env)


def _close_quietly(fd):
    try:
        os.close(fd)
    except OSError:
        pass


class WhyWithoutTheApplication(WhyMocks, MockBusTestCase):

    def test_every_source_merged_into_one_table_and_one_json_array(self):
        self.take('sleep', 'backup', 'Nightly backup')
        self.take('idle', 'Vigilo', 'vigilo: make test')
        self.take('sleep', 'alice', 'user session inhibited')  # gnome-session's folded row
        self.take('sleep', 'NetworkManager', 'Disconnect first', 'delay')
        self.gnome([('firefox', 'Playing video', 8), ('mutter', 'idle-inhibit', 8)])
        kde = self.plain_mock(*KDE)
        kde.AddMethod(KDE[2], 'ListInhibitions', '', 'a(ss)', 'ret = [("elisa", "Playing music"), ("backup", "Nightly backup")]')

        table = self.why()
        self.assertEqual((table.returncode, table.stderr), (0, ''))
        self.assertEqual(table.stdout, (
            'Keeping this computer awake:\n'
            '  sleep   backup           Nightly backup                            (pid 123456)   logind\n'
            '  sleep   elisa            Playing music                                            KDE\n'
            '  idle    firefox          Playing video                                            GNOME\n'
            '  idle    Wayland window   A full-screen or video window (Wayland)                  GNOME\n'
            '  sleep   Vigilo           Running a command                         (pid 123456)   Vigilo\n'))

        rows = json.loads(self.why('--json', '--all').stdout)
        self.assertEqual([(row['source'], row['who'], row['mode']) for row in rows], [
            ('logind', 'backup', 'block'), ('logind', 'NetworkManager', 'delay'), ('kde', 'elisa', 'block'),
            ('gnome', 'firefox', 'block'), ('gnome', 'Wayland window', 'block'), ('vigilo', 'Vigilo', 'block')])
        self.assertEqual(rows[0], {'what': ['sleep'], 'who': 'backup', 'why': 'Nightly backup', 'mode': 'block',
                                   'source': 'logind', 'uid': 1000, 'pid': 123456, 'command': None})
        self.assertEqual(rows[3], {'what': ['idle'], 'who': 'firefox', 'why': 'Playing video', 'mode': 'block',
                                   'source': 'gnome', 'uid': os.getuid(), 'pid': None, 'command': None})

    def test_the_newer_kde_forms_and_a_peer_with_the_wrong_signature(self):
        for form, method in (('aas', ('ListInhibitions', '', 'aas', 'ret = [["okular", "Presenting"]]')),
                             ('a(ssssu)', None), ('wrong', ('ListInhibitions', '', 's', 'ret = "x"'))):
            with self.subTest(form=form):
                kde = self.plain_mock(*KDE)
                if method:
                    kde.AddMethod(KDE[2], *method)
                else:
                    kde.AddProperty(KDE[2], 'ActiveInhibitions', dbus.Array(
                        [('idle', 'okular', 'Presenting', 'block', dbus.UInt32(0))], signature='(ssssu)'))
                rows = json.loads(self.why('--json').stdout)
                expected = [] if form == 'wrong' else [('okular', 'Presenting', 'kde')]
                self.assertEqual([(r['who'], r['why'], r['source']) for r in rows], expected)
                self.stop_last_mock()
                self.wait_until(lambda: not self.bus.connection(False).name_has_owner(KDE[0]))

    def test_nothing_to_read_is_status_1_and_an_empty_list_status_0(self):
        self.assertEqual(self.why().stdout, 'Nothing keeps this computer awake.\n')
        self.assertEqual(self.why('--json').stdout, '[]\n')
        none = self.why(env=no_bus_env())
        self.assertEqual((none.returncode, none.stdout), (1, ''))
        self.assertIn('Could not read what keeps this computer awake: ', none.stderr)
        self.assertEqual(self.why('--bogus').returncode, 2)


class WhyOnLogindsMadeHere(WhyMocks, MockBusTestCase):
    '''A logind of our own making: hostile lists, real holder processes.'''

    WITH_LOGIND = False

    def test_a_huge_list_and_hostile_names_stay_readable_and_a_silent_peer_costs_two_seconds(self):
        logind = self.plain_mock(*LOGIND, system_bus=True)
        logind.AddMethod(LOGIND[2], 'ListInhibitors', '', 'a(ssssuu)',
                         'ret = [("sleep", "w%d" % i, "bad\\x1b[2J\\nline\\t", "block", 1000, 4000000 + i)'
                         ' for i in range(10000)]')
        gnome = self.plain_mock(*GNOME)
        gnome.AddMethod(GNOME[2], 'GetInhibitors', '', 'ao', 'import time; time.sleep(5); ret = []')
        started = time.monotonic()
        table = self.why()
        self.assertLess(time.monotonic() - started, 4.5)
        lines = table.stdout.splitlines()
        self.assertEqual(len(lines), 10001)
        self.assertEqual(lines[1], '  sleep   w0      bad [2J line    (pid 4000000)   logind')
        self.assertEqual(len(json.loads(self.why('--json').stdout)), 10000)


    def test_systemd_inhibit_shows_the_command_it_runs(self):
        folder = tempfile.mkdtemp(prefix='vigilo-why-')
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        # A stand-in of that name that, like it, waits for its child.
        inhibit = os.path.join(folder, 'systemd-inhibit')
        with open(inhibit, 'w', encoding='utf-8') as f:
            f.write('#!/bin/sh\nsleep 300 &\nwait\n')
        os.chmod(inhibit, 0o755)
        holder = subprocess.Popen([inhibit], start_new_session=True)
        self.addCleanup(lambda: (os.killpg(holder.pid, signal.SIGKILL), holder.wait()))
        logind = self.plain_mock(*LOGIND, system_bus=True)
        logind.AddMethod(LOGIND[2], 'ListInhibitors', '', 'a(ssssuu)',
                         f'ret = [("sleep", "backup", "Nightly backup", "block", {os.getuid()}, {holder.pid})]')
        self.wait_until(lambda: 'sleep 300' in self.why().stdout, message='the child did not show')
        row = json.loads(self.why('--json').stdout)[0]
        self.assertEqual(row['command'], 'sleep 300')
        self.assertNotEqual(row['pid'], holder.pid)


class WhyFromTheApplication(WhyMocks, DaemonTestCase):

    def ask(self):
        with socket.socket(socket.AF_UNIX) as client:
            client.settimeout(10)
            client.connect(self.socket)
            client.sendall(b'{"cmd":"why"}\n')
            data = b''
            while not data.endswith(b'\n'):
                chunk = client.recv(65536)
                if not chunk:
                    break
                data += chunk
        return json.loads(data)

    def who(self):
        reply = self.ask()
        self.assertTrue(reply['ok'], reply)
        return [(row['who'], row['source']) for row in reply['inhibitors']]

    def follows_within_a_second(self, expected):
        deadline = time.monotonic() + 1.0
        while self.who() != expected:
            if time.monotonic() > deadline:
                self.fail(f'still {self.who()}, not {expected}')
            time.sleep(0.02)

    def test_the_answer_follows_locks_taken_and_released_and_names_our_own(self):
        self.assertEqual(self.who(), [])
        backup = self.take('sleep', 'backup', 'Nightly backup')
        self.follows_within_a_second([('backup', 'logind')])
        self.assertEqual(self.vigilo('start').returncode, 0)
        self.logind_changed()
        self.follows_within_a_second([('backup', 'logind'), ('Vigilo', 'vigilo')])
        ours = self.ask()['inhibitors'][1]
        self.assertEqual((ours['why'], ours['pid'], ours['command']), ('Keep Awake', self.daemon.pid, 'vigilo-app'))
        self.release(backup)
        self.follows_within_a_second([('Vigilo', 'vigilo')])

        # The command line reads the services itself and takes the application's own row.
        self.take('idle', 'player', 'Video')
        ours = f'vigilo-app (pid {self.daemon.pid})'
        self.assertEqual(self.vigilo('why').stdout.splitlines()[1:], [
            f'  idle    player   Video        {"(pid 123456)":<{len(ours)}}   logind',
            f'  sleep   Vigilo   Keep Awake   {ours}   Vigilo'])


class WhyInTheTray(WhyMocks, TrayHostTestCase):

    def test_the_menu_and_tooltip_name_what_else_keeps_the_computer_awake(self):
        backup = self.take('sleep', 'backup', 'Nightly backup')
        self.start_application()
        self.wait_until(lambda: len(self.registered_items()) > 0, 15, 'the tray item did not register')
        self.wait_until(lambda: 'Also keeping awake: backup' in self.menu_labels(), 5, 'the line did not come')
        labels = self.menu_labels()
        self.assertEqual(labels[0], 'Off \u2014 something else keeps the computer awake')
        self.assertIn('What Keeps It Awake\u2026', labels)
        self.assertEqual(self.tooltip(), 'Vigilo \u2014 Awake Off\nAlso keeping awake: backup')

        self.release(backup)
        self.wait_until(lambda: 'Also keeping awake: backup' not in self.menu_labels(), 2, 'the line stayed')
        self.assertNotEqual(self.menu_labels()[0], 'Off \u2014 something else keeps the computer awake')
        self.assertEqual(self.tooltip(), 'Vigilo \u2014 Awake Off')


if __name__ == '__main__':
    unittest.main()
