'''The tray role end to end: vigilo-app on a virtual X display (Xvfb) with a
private session bus, on which the test stands up the panel's
StatusNotifierWatcher or leaves it out.'''

import ctypes
import ctypes.util
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import dbus

from mockbus import MockBusTestCase, bin_dir, _die_with_parent

WATCHER = ('org.kde.StatusNotifierWatcher', '/StatusNotifierWatcher')
UPOWER = ('org.freedesktop.UPower', '/org/freedesktop/UPower')
DISPLAY_DEVICE = '/org/freedesktop/UPower/devices/DisplayDevice'
REASON = 'Vigilo keeping system awake'
TEMPLATES = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'templates')


def desktop_entry_value(key):
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'data', 'com.vigilo.app.desktop')
    with open(path, encoding='utf-8') as f:
        return next(line.split('=', 1)[1].strip() for line in f if line.startswith(key + '='))


def start_xvfb(test):
    '''A virtual X display on a free number, stopped at clean-up.'''
    read, write = os.pipe()
    server = subprocess.Popen(['Xvfb', '-displayfd', str(write), '-nolisten', 'tcp', '-screen', '0', '800x600x24'],
                              pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              preexec_fn=_die_with_parent)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    test.addCleanup(lambda: (server.terminate(), server.wait()))
    if not number:
        test.fail('Xvfb did not start')
    return ':' + number


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),
                ('display', ctypes.c_void_p), ('window', ctypes.c_ulong), ('message_type', ctypes.c_ulong),
                ('format', ctypes.c_int), ('data', ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [('type', ctypes.c_int), ('xclient', XClientMessageEvent), ('pad', ctypes.c_long * 24)]


class XEmbedTray:
    '''A panel's X11 system tray as far as a client sees it: the owner of
    _NET_SYSTEM_TRAY_S0, announced to the root window with MANAGER, which
    receives the icons' dock requests (and embeds nothing).'''

    CLIENT_MESSAGE = 33
    STRUCTURE_NOTIFY_MASK = 1 << 17
    REQUEST_DOCK = 0

    def __init__(self, display):
        x = ctypes.CDLL(ctypes.util.find_library('X11'))
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        for name in ('XDefaultRootWindow', 'XCreateSimpleWindow', 'XInternAtom'):
            getattr(x, name).restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 4 + [ctypes.c_uint,
                                                                                                  ctypes.c_ulong,
                                                                                                  ctypes.c_ulong]
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        for name in ('XFlush', 'XPending', 'XCloseDisplay'):
            getattr(x, name).argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        self.x = x
        self.display = x.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError('cannot open ' + display)
        self.opcode = x.XInternAtom(self.display, b'_NET_SYSTEM_TRAY_OPCODE', 0)
        self.window = None

    def appear(self):
        x, display = self.x, self.display
        root = x.XDefaultRootWindow(display)
        self.window = x.XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0)
        selection = x.XInternAtom(display, b'_NET_SYSTEM_TRAY_S0', 0)
        x.XSetSelectionOwner(display, selection, self.window, 0)
        event = XEvent()
        event.xclient.type = self.CLIENT_MESSAGE
        event.xclient.window = root
        event.xclient.message_type = x.XInternAtom(display, b'MANAGER', 0)
        event.xclient.format = 32
        event.xclient.data[:] = [0, selection, self.window, 0, 0]
        x.XSendEvent(display, root, 0, self.STRUCTURE_NOTIFY_MASK, ctypes.byref(event))
        x.XFlush(display)

    def dock_requested(self):
        '''Whether an icon has asked to dock since the last call.'''
        event = XEvent()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, ctypes.byref(event))
            message = event.xclient
            if (event.type == self.CLIENT_MESSAGE and message.window == self.window
                    and message.message_type == self.opcode and message.data[1] == self.REQUEST_DOCK):
                return True
        return False

    def close(self):
        self.x.XCloseDisplay(self.display)


@unittest.skipUnless(shutil.which('Xvfb'), 'Xvfb is missing')
class TrayTestCase(MockBusTestCase):
    '''The application on a virtual display, and reading the tray item it lists.'''

    def setUp(self):
        super().setUp()
        self.home = tempfile.mkdtemp(prefix='vigilo-home-')
        self.addCleanup(shutil.rmtree, self.home, ignore_errors=True)
        runtime = os.path.join(self.home, 'run')
        os.mkdir(runtime, 0o700)
        self.env = dict(self.bus.env, HOME=self.home, XDG_RUNTIME_DIR=runtime, DISPLAY=start_xvfb(self),
                        XDG_CONFIG_HOME=os.path.join(self.home, 'config'),
                        XDG_DATA_HOME=os.path.join(self.home, 'data'))
        for name in ('WAYLAND_DISPLAY', 'QT_QPA_PLATFORM'):
            self.env.pop(name, None)
        self.socket = os.path.join(runtime, f'vigilo-{os.getuid()}.sock')
        self.log = os.path.join(self.home, 'app.log')

    def start_application(self, *args):
        with open(self.log, 'ab') as log:
            app = subprocess.Popen([os.path.join(bin_dir(), 'vigilo-app'), *args], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=log)

        def stop():
            if app.poll() is None:
                app.kill()
            app.wait()
        self.addCleanup(stop)
        return app

    def vigilo(self, *args):
        return subprocess.run([os.path.join(bin_dir(), 'vigilo'), *args], env=self.env, capture_output=True,
                              text=True, timeout=30, check=False)

    def stop_application(self, app):
        app.send_signal(signal.SIGTERM)
        self.assertEqual(app.wait(timeout=10), 0)
        self.assertFalse(os.path.exists(self.socket))

    def read_log(self):
        with open(self.log, encoding='utf-8') as f:
            return f.read()

    def registered_items(self):
        return self.bus.call(False, *WATCHER, 'org.freedesktop.DBus.Properties', 'Get', WATCHER[0],
                             'RegisteredStatusNotifierItems')

    def item(self):
        name, path = str(self.registered_items()[-1]).split('/', 1)
        return self.bus.connection(False).get_object(name, '/' + path)

    def tooltip(self):
        return str(self.item().Get('org.kde.StatusNotifierItem', 'ToolTip',
                                   dbus_interface='org.freedesktop.DBus.Properties')[2])

    def menu_labels(self):
        item = self.item()
        path = item.Get('org.kde.StatusNotifierItem', 'Menu', dbus_interface='org.freedesktop.DBus.Properties')
        menu = self.bus.connection(False).get_object(item.bus_name, path)
        _, layout = menu.GetLayout(0, -1, [], dbus_interface='com.canonical.dbusmenu', timeout=2)
        labels = []

        def walk(entry):
            label = dict(entry[1]).get('label')
            if label:
                labels.append(str(label))
            for child in entry[2]:
                walk(child)
        walk(layout)
        return labels

    def window_property(self, title, name):
        return subprocess.run(['xprop', '-display', self.env['DISPLAY'], '-name', title, name],
                              capture_output=True, text=True, check=False).stdout[:200]

    def window_shown(self, title):
        '''Whether a window of that title is mapped on the virtual display.'''
        found = subprocess.run(['xwininfo', '-display', self.env['DISPLAY'], '-name', title],
                               capture_output=True, text=True, check=False)
        return found.returncode == 0 and 'IsViewable' in found.stdout


class TrayHostTestCase(TrayTestCase):
    '''A panel's watcher on the session bus from the start.'''

    def setUp(self):
        super().setUp()
        self.bus.add_template(os.path.join(TEMPLATES, 'status_notifier_watcher.py'), system_bus=False)


class WithATrayHost(TrayHostTestCase):

    def test_item_registers_its_menu_follows_the_state_and_sigterm_ends_it_cleanly(self):
        app = self.start_application()
        self.wait_until(lambda: len(self.registered_items()) > 0, 15, 'the tray item did not register')
        self.wait_until(lambda: self.vigilo('status').returncode == 0, 10, 'the application did not answer')
        labels = self.menu_labels()
        for entry in ('Auto Mode', 'Keep Awake', 'Windows', 'Dashboard…',
                      'Show Status Window…', 'More', 'Timer', '30 minutes', 'Launch at Login',
                      'Install vigilo CLI…', 'Settings…', 'Quit Vigilo'):
            self.assertIn(entry, labels)
        # No lid and no battery here: nothing to offer for them.
        for entry in ('Stop', 'Closed-Lid Mode…', 'Keep Awake While Charging'):
            self.assertNotIn(entry, labels)
        self.assertEqual(self.tooltip(), 'Vigilo — Awake Off')

        self.assertEqual(self.vigilo('start').returncode, 0)
        self.wait_until(lambda: 'Stop' in self.menu_labels(), 5, '"Stop" did not appear')
        self.assertEqual(self.tooltip(), 'Vigilo — Awake On')
        self.assertIn('Vigilo started (tray)', self.read_log())

        # The shortcut's bus service runs on the tray's loop and reaches its dashboard.
        self.bus.call(False, 'com.vigilo.app', '/com/vigilo/app', 'com.vigilo.app.Shortcuts', 'OpenDashboard')
        self.assertNotIn('no dashboard without the tray', self.read_log())

        self.stop_application(app)


class WhenThePanelComesLate(TrayTestCase):
    '''A login starts autostart programs before the panel, and panels restart.'''

    def start_watcher(self):
        return self.bus.add_template(os.path.join(TEMPLATES, 'status_notifier_watcher.py'), system_bus=False)

    def test_the_icon_registers_when_the_watcher_appears_and_again_when_it_comes_back(self):
        app = self.start_application()
        self.wait_until(lambda: self.vigilo('status').returncode == 0, 15, 'the application did not answer')
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:  # the panel comes 5 s after the application
            self.assertIsNone(app.poll(), self.read_log())
            time.sleep(0.2)
        watcher = self.start_watcher()
        self.wait_until(lambda: len(self.registered_items()) > 0, 2, 'no item 2 s after the watcher appeared')

        watcher.terminate()
        watcher.wait()
        self.start_watcher()
        self.wait_until(lambda: len(self.registered_items()) > 0, 2, 'no item 2 s after the watcher came back')
        self.assertIn('Quit Vigilo', self.menu_labels())
        self.stop_application(app)


class WhenAnX11TrayComesLate(TrayTestCase):
    '''A panel with an XEmbed tray and no StatusNotifier host, started after
    Vigilo has given up waiting for a host.'''

    def test_the_icon_docks_when_the_tray_appears(self):
        app = self.start_application()
        self.wait_until(lambda: self.vigilo('status').returncode == 0, 15, 'the application did not answer')
        self.wait_until(lambda: 'No tray host has appeared' in self.read_log(), 10, 'no notice after 5 s')
        tray = XEmbedTray(self.env['DISPLAY'])
        self.addCleanup(tray.close)
        tray.appear()
        self.wait_until(tray.dock_requested, 2, 'no dock request 2 s after the X11 tray appeared')
        self.assertIsNone(app.poll(), self.read_log())
        self.stop_application(app)


class WithoutATrayHost(TrayTestCase):

    def test_the_status_window_says_so_once_per_login_and_the_application_runs_on(self):
        self.bus.add_template(os.path.join(TEMPLATES, 'desktop_portal_background.py'), system_bus=False)
        portal = self.bus.mock_interface(False, 'org.freedesktop.portal.Desktop', '/org/freedesktop/portal/desktop')
        app = self.start_application()
        self.wait_until(lambda: self.vigilo('status').returncode == 0 or app.poll() is not None, 15,
                        'the application did not answer')
        self.assertIsNone(app.poll(), self.read_log())
        self.assertEqual(self.vigilo('start').returncode, 0)
        self.assertIn('Awake On', self.vigilo('status').stdout)
        self.wait_until(lambda: self.window_shown('Vigilo Status'), 10, 'no status window without a tray host')
        self.assertEqual(self.read_log().count('No tray host has appeared'), 1)
        self.assertEqual(self.read_log().count('The status window says: Your desktop shows no tray icons.'), 1)
        self.assertTrue(os.path.exists(os.path.join(self.env['XDG_RUNTIME_DIR'], 'vigilo-no-tray-notice')))
        # Taskbars match the window to the desktop entry and show its icon.
        wm_class = self.window_property('Vigilo Status', 'WM_CLASS')
        self.assertIn(f'"{desktop_entry_value("StartupWMClass")}"', wm_class)
        self.assertNotIn('not found', self.window_property('Vigilo Status', '_NET_WM_ICON'))
        self.wait_until(lambda: portal.GetCalls(), 5, 'the portal was not asked')
        (_, method, (window, options)), = portal.GetCalls()
        self.assertEqual((str(method), str(window)), ('RequestBackground', ''))
        self.assertIs(bool(options['autostart']), False)
        self.stop_application(app)

        # The same login: the marker says it has been told.
        app = self.start_application()
        self.wait_until(lambda: self.read_log().count('No tray host has appeared') == 2, 15,
                        'the second start did not look for a host')
        self.assertFalse(self.window_shown('Vigilo Status'))
        self.stop_application(app)


class WithAQuestionOnTheScreen(TrayHostTestCase):
    '''`vigilo start` on battery asks at the screen: the question's nested loop
    keeps the buses and the menu going, and SIGTERM answers it.'''

    def setUp(self):
        super().setUp()
        self.bus.add_template('upower', system_bus=True)
        upower = self.bus.connection(True).get_object(*UPOWER)
        upower.Set(UPOWER[0], 'OnBattery', dbus.Boolean(True), dbus_interface=dbus.PROPERTIES_IFACE)
        self.upower = dbus.Interface(upower, 'org.freedesktop.DBus.Mock')
        # type battery, state discharging, 50 %, present
        self.upower.SetupDisplayDevice(2, 2, 50.0, 50.0, 100.0, 10.0, 3600, 0, True, 'battery-good-symbolic', 1)

    def test_sigterm_during_the_battery_question_ends_the_application_cleanly(self):
        app = self.start_application()
        self.wait_until(lambda: len(self.registered_items()) > 0, 15, 'the tray item did not register')
        self.wait_until(lambda: 'Battery: 50%' in self.menu_labels(), 10, 'no battery line')
        with subprocess.Popen([os.path.join(bin_dir(), 'vigilo'), 'start'], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) as client:
            time.sleep(1)
            self.assertIsNone(client.poll(), 'the start was not held by the question')
            self.upower.SetDeviceProperties(DISPLAY_DEVICE, {'Percentage': dbus.Double(41.0, variant_level=1)})
            self.wait_until(lambda: 'Battery: 41%' in self.menu_labels(), 10, 'the menu stood still under the question')
            self.stop_application(app)
            client.wait(timeout=10)
        self.assertEqual([row for row in self.bus.logind_inhibitors() if row[2] == REASON], [])
