'''org.gnome.SessionManager mock for Vigilo's integration tests.

Inhibit(app_id, toplevel_xid, reason, flags) -> cookie and Uninhibit(cookie),
with the inhibitors dropped when their caller leaves the bus, as
gnome-session does.

Parameters:
  SuspendTakesSleepLock (bool, default False): act like older gnome-session,
    which holds one logind "sleep" block lock (who = the user name,
    why = "user session inhibited") while any inhibitor with flag 4 exists.
  InhibitDelay (float seconds, default 0): answer Inhibit only this late,
    like a session manager that hangs.

Test interface com.vigilo.Test on the same object:
  GetInhibitors() -> a(ssu): the held inhibitors (app_id, reason, flags)
  GetInhibitHistory() -> a(ssu): every Inhibit call, in order
  GetUninhibitCount() -> u
'''

import os
import pwd
import time

import dbus

BUS_NAME = 'org.gnome.SessionManager'
MAIN_OBJ = '/org/gnome/SessionManager'
MAIN_IFACE = 'org.gnome.SessionManager'
SYSTEM_BUS = False
TEST_IFACE = 'com.vigilo.Test'

SUSPEND = 4


def load(mock, parameters):
    mock.inhibitors = {}  # cookie -> (app_id, reason, flags, sender)
    mock.history = []
    mock.uninhibit_count = 0
    mock.next_cookie = 1
    mock.sleep_lock = None
    mock.take_sleep_lock = bool(parameters.get('SuspendTakesSleepLock', False))
    mock.inhibit_delay = float(parameters.get('InhibitDelay', 0))

    def on_name_owner_changed(name, _old_owner, new_owner):
        if new_owner:
            return
        for cookie, inhibitor in list(mock.inhibitors.items()):
            if inhibitor[3] == name:
                del mock.inhibitors[cookie]
        _update_sleep_lock(mock)

    mock.connection.add_signal_receiver(on_name_owner_changed, 'NameOwnerChanged', 'org.freedesktop.DBus',
                                        'org.freedesktop.DBus', '/org/freedesktop/DBus')


def _update_sleep_lock(mock):
    wanted = mock.take_sleep_lock and any(i[2] & SUSPEND for i in mock.inhibitors.values())
    if wanted and mock.sleep_lock is None:
        system = dbus.bus.BusConnection(os.environ['DBUS_SYSTEM_BUS_ADDRESS'])
        logind = system.get_object('org.freedesktop.login1', '/org/freedesktop/login1')
        fd = logind.Inhibit('sleep', pwd.getpwuid(os.getuid()).pw_name, 'user session inhibited', 'block',
                            dbus_interface='org.freedesktop.login1.Manager')
        mock.sleep_lock = (system, fd.take())
    elif not wanted and mock.sleep_lock is not None:
        system, fd = mock.sleep_lock
        os.close(fd)
        system.close()
        mock.sleep_lock = None


@dbus.service.method(MAIN_IFACE, in_signature='susu', out_signature='u', sender_keyword='sender')
def Inhibit(self, app_id, _toplevel_xid, reason, flags, sender=None):
    if self.inhibit_delay:
        time.sleep(self.inhibit_delay)
    cookie = self.next_cookie
    self.next_cookie += 1
    self.inhibitors[cookie] = (str(app_id), str(reason), int(flags), sender)
    self.history.append((str(app_id), str(reason), int(flags)))
    _update_sleep_lock(self)
    return dbus.UInt32(cookie)


@dbus.service.method(MAIN_IFACE, in_signature='u', out_signature='')
def Uninhibit(self, cookie):
    if int(cookie) not in self.inhibitors:
        raise dbus.exceptions.DBusException('Unable to uninhibit: Invalid cookie',
                                            name='org.gnome.SessionManager.GeneralError')
    del self.inhibitors[int(cookie)]
    self.uninhibit_count += 1
    _update_sleep_lock(self)


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='a(ssu)')
def GetInhibitors(self):
    return dbus.Array([i[:3] for i in self.inhibitors.values()], signature='(ssu)')


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='a(ssu)')
def GetInhibitHistory(self):
    return dbus.Array(self.history, signature='(ssu)')


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='u')
def GetUninhibitCount(self):
    return dbus.UInt32(self.uninhibit_count)
