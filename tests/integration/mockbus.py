'''Private D-Bus system and session buses with python-dbusmock services on
them, for Vigilo's integration tests.

    with MockBus() as bus:                 # both buses, nothing on them yet
        bus.add_logind()
        bus.add_gnome_session()
        subprocess.run([vigilo, '--', 'true'], env=bus.env)
        bus.logind_inhibitors()            # [(what, who, why, mode, uid, pid)]

MockBus(session=False) gives no session bus (its address points at a socket
that does not exist), and no_bus_env() has no bus at all. MockBusTestCase
starts a fresh MockBus for every test as self.bus. Nothing here touches the
real buses: every environment it hands out names private addresses only.
'''

import ctypes
import importlib
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import warnings

import dbus

PYTHON = '/usr/bin/python3'
TEMPLATES = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'templates')
TEST_IFACE = 'com.vigilo.Test'
LOGIND = ('org.freedesktop.login1', '/org/freedesktop/login1', 'org.freedesktop.login1.Manager')
START_TIMEOUT = 15.0

_BUS_CONFIG = '''<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>{kind}</type>
  <keep_umask/>
  <listen>unix:dir={folder}</listen>
  <servicedir>{folder}/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
'''


def _die_with_parent():
    '''Run in the child before exec: the bus ends when the test process does,
    even when that one is killed (say, by a ctest time-out).'''
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def _missing_address(folder):
    return 'unix:path=' + os.path.join(folder, 'no-such-bus')


def no_bus_env(base=None):
    '''An environment in which neither bus can be reached.'''
    env = dict(os.environ if base is None else base)
    env['DBUS_SYSTEM_BUS_ADDRESS'] = 'unix:path=/nonexistent/vigilo-test/system_bus_socket'
    env['DBUS_SESSION_BUS_ADDRESS'] = 'unix:path=/nonexistent/vigilo-test/session_bus_socket'
    return env


class MockBus:
    '''A private system bus and (optionally) a private session bus.'''

    def __init__(self, system=True, session=True):
        self._want = {'system': system, 'session': session}
        self._folder = None
        self._daemons = []
        self._mocks = []
        self._connections = {}
        self.addresses = {}
        self.env = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *_):
        self.stop()

    def start(self):
        self._folder = tempfile.mkdtemp(prefix='vigilo-mockbus-')
        try:
            for kind in ('system', 'session'):
                if self._want[kind]:
                    self.addresses[kind] = self._start_daemon(kind)
                else:
                    self.addresses[kind] = _missing_address(self._folder)
        except BaseException:
            self.stop()
            raise
        self.env = dict(os.environ)
        self.env['DBUS_SYSTEM_BUS_ADDRESS'] = self.addresses['system']
        self.env['DBUS_SESSION_BUS_ADDRESS'] = self.addresses['session']

    def stop(self):
        for connection in self._connections.values():
            connection.close()
        self._connections.clear()
        for process in self._mocks + self._daemons:
            if process.poll() is None:
                process.terminate()
        for process in self._mocks + self._daemons:
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self._mocks.clear()
        self._daemons.clear()
        if self._folder:
            shutil.rmtree(self._folder, ignore_errors=True)
            self._folder = None

    # Services ---------------------------------------------------------------

    def add_logind(self, **parameters):
        '''python-dbusmock's logind: tracks inhibitors, drops them when their fd closes.'''
        return self.add_template('logind', system_bus=True, parameters=parameters)

    def add_gnome_session(self, suspend_takes_sleep_lock=False, inhibit_delay=0):
        '''org.gnome.SessionManager; see templates/gnome_session_manager.py.'''
        return self.add_template(os.path.join(TEMPLATES, 'gnome_session_manager.py'), system_bus=False,
                                 parameters={'SuspendTakesSleepLock': suspend_takes_sleep_lock,
                                             'InhibitDelay': inhibit_delay})

    def add_kde(self):
        '''org.freedesktop.PowerManagement and org.freedesktop.ScreenSaver, as on KDE.'''
        self.add_template(os.path.join(TEMPLATES, 'kde_power_management.py'), system_bus=False)
        self.add_template(os.path.join(TEMPLATES, 'freedesktop_screensaver.py'), system_bus=False)

    def add_template(self, template, system_bus, parameters=None, bus_name=None):
        '''Runs `python3 -m dbusmock --template <template>` on one of the buses and
        waits until it owns its name. Returns the process.'''
        kind = 'system' if system_bus else 'session'
        if not self._want[kind]:
            raise RuntimeError(f'no private {kind} bus to put {template} on')
        if bus_name is None:
            bus_name = _template_bus_name(template)
        argv = [PYTHON, '-W', 'ignore::ImportWarning', '-m', 'dbusmock', '--system' if system_bus else '--session', '--template', template]
        if parameters:
            argv += ['--parameters', json.dumps(parameters)]
        process = subprocess.Popen(argv, env=self.env, stdout=subprocess.DEVNULL)  # pylint: disable=consider-using-with
        self._mocks.append(process)
        self.wait_for_name(bus_name, system_bus, process)
        return process

    def wait_for_name(self, name, system_bus, process=None):
        connection = self.connection(system_bus)
        deadline = time.monotonic() + START_TIMEOUT
        while not connection.name_has_owner(name):
            if process is not None and process.poll() is not None:
                raise RuntimeError(f'mock for {name} exited with {process.returncode}')
            if time.monotonic() > deadline:
                raise RuntimeError(f'{name} did not appear on the bus')
            time.sleep(0.01)

    def service_folder(self, system_bus):
        '''Where the bus looks for activatable services' files.'''
        return os.path.join(self._folder, 'system' if system_bus else 'session', 'services')

    # Looking at the mocks ---------------------------------------------------

    def connection(self, system_bus):
        kind = 'system' if system_bus else 'session'
        if kind not in self._connections:
            self._connections[kind] = dbus.bus.BusConnection(self.addresses[kind])
        return self._connections[kind]

    def mock_interface(self, system_bus, name, path):
        '''The org.freedesktop.DBus.Mock interface of a running mock (AddMethod,
        AddProperty, GetCalls, EmitSignal, ...).'''
        proxy = self.connection(system_bus).get_object(name, path)
        return dbus.Interface(proxy, 'org.freedesktop.DBus.Mock')

    def call(self, system_bus, name, path, interface, method, *args):
        proxy = self.connection(system_bus).get_object(name, path)
        return proxy.get_dbus_method(method, interface)(*args)

    def logind_inhibitors(self):
        '''logind's ListInhibitors as plain tuples (what, who, why, mode, uid, pid).'''
        rows = self.call(True, *LOGIND, 'ListInhibitors')
        return [(str(a), str(b), str(c), str(d), int(e), int(f)) for a, b, c, d, e, f in rows]

    def gnome_inhibitors(self):
        '''Held GNOME inhibitors as (app_id, reason, flags).'''
        return self._test_rows('org.gnome.SessionManager', '/org/gnome/SessionManager', 'GetInhibitors')

    def gnome_history(self):
        return self._test_rows('org.gnome.SessionManager', '/org/gnome/SessionManager', 'GetInhibitHistory')

    def kde_inhibitors(self):
        '''Held KDE power-management inhibitors as (app, reason, cookie).'''
        return self._test_rows('org.freedesktop.PowerManagement', '/org/freedesktop/PowerManagement/Inhibit',
                               'GetInhibitors')

    def screensaver_inhibitors(self):
        return self._test_rows('org.freedesktop.ScreenSaver', '/org/freedesktop/ScreenSaver', 'GetInhibitors')

    def _test_rows(self, name, path, method):
        rows = self.call(False, name, path, TEST_IFACE, method)
        return [(str(a), str(b), int(c)) for a, b, c in rows]

    # Internals --------------------------------------------------------------

    def _start_daemon(self, kind):
        folder = os.path.join(self._folder, kind)
        os.makedirs(os.path.join(folder, 'services'))
        config = os.path.join(folder, 'bus.conf')
        with open(config, 'w', encoding='utf-8') as f:
            f.write(_BUS_CONFIG.format(kind=kind, folder=folder))
        process = subprocess.Popen(  # pylint: disable=consider-using-with
            ['dbus-daemon', '--config-file=' + config, '--nofork', '--print-address=1'],
            stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, text=True,
            preexec_fn=_die_with_parent)
        self._daemons.append(process)
        address = process.stdout.readline().strip()
        process.stdout.close()
        if not address:
            raise RuntimeError(f'dbus-daemon for the {kind} bus did not start')
        return address


def _template_bus_name(template):
    if os.path.sep not in template:
        with warnings.catch_warnings():
            warnings.simplefilter('ignore', ImportWarning)  # gi's importer, via the template
            module = importlib.import_module('dbusmock.templates.' + template)
        return module.BUS_NAME
    with open(template, encoding='utf-8') as f:
        for line in f:
            if line.startswith('BUS_NAME'):
                return line.split('=', 1)[1].strip().strip('\'"')
    raise RuntimeError(f'{template} names no BUS_NAME')


class MockBusTestCase(unittest.TestCase):
    '''A fresh MockBus per test as self.bus (with logind unless WITH_LOGIND is
    False); SESSION_BUS = False leaves out the session bus.'''

    SESSION_BUS = True
    WITH_LOGIND = True

    def setUp(self):
        super().setUp()
        self.bus = MockBus(system=True, session=self.SESSION_BUS)
        self.bus.start()
        self.addCleanup(self.bus.stop)
        if self.WITH_LOGIND:
            self.bus.add_logind()

    def wait_until(self, predicate, timeout=5.0, message='condition not reached'):
        '''Polls `predicate` (for state another process changes) until it holds.'''
        deadline = time.monotonic() + timeout
        while not predicate():
            if time.monotonic() > deadline:
                self.fail(message)
            time.sleep(0.01)


def assert_gtest_cases_pass(test, env, gtest_filter, count):
    '''Runs the vigilo_linux_tests cases the filter names in `env`: all `count`
    of them must run and pass, none may skip.'''
    result = subprocess.run([os.path.join(bin_dir(), 'vigilo_linux_tests'), '--gtest_filter=' + gtest_filter],
                            env=env, capture_output=True, text=True, timeout=120, check=False)
    output = result.stdout + result.stderr
    test.assertEqual(result.returncode, 0, output)
    test.assertNotIn('SKIPPED', output, output)
    test.assertIn(f'[  PASSED  ] {count} test', output, output)


def bin_dir():
    '''Where the built executables are: $VIGILO_BIN_DIR, else build/bin.'''
    path = os.environ.get('VIGILO_BIN_DIR')
    if path:
        return path
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'build', 'bin')


if __name__ == '__main__':
    # Handy by hand: `python3 mockbus.py` prints a shell environment with a
    # mock logind until interrupted.
    with MockBus() as bus_:
        bus_.add_logind()
        print(f"export DBUS_SYSTEM_BUS_ADDRESS='{bus_.addresses['system']}'")
        print(f"export DBUS_SESSION_BUS_ADDRESS='{bus_.addresses['session']}'")
        sys.stdout.flush()
        try:
            while True:
                time.sleep(3600)
        except KeyboardInterrupt:
            pass
