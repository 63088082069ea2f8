'''Shared body of the org.freedesktop.PowerManagement.Inhibit and
org.freedesktop.ScreenSaver mocks: Inhibit(app, reason) -> cookie and
UnInhibit(cookie), dropped when the caller leaves the bus, as KDE does.

Test interface com.vigilo.Test on the same object:
  GetInhibitors() -> a(ssu): the held inhibitors (app, reason, cookie)
  GetInhibitHistory() -> a(ssu): every Inhibit call, in order
  GetUninhibitCount() -> u

Not a template itself: kde_power_management.py and freedesktop_screensaver.py
call define() with their interface.
'''

import dbus

TEST_IFACE = 'com.vigilo.Test'


def load(mock, _parameters):
    mock.inhibitors = {}  # cookie -> (app, reason, sender)
    mock.history = []
    mock.uninhibit_count = 0
    mock.next_cookie = 1

    def on_name_owner_changed(name, _old_owner, new_owner):
        if not new_owner:
            for cookie, inhibitor in list(mock.inhibitors.items()):
                if inhibitor[2] == name:
                    del mock.inhibitors[cookie]

    mock.connection.add_signal_receiver(on_name_owner_changed, 'NameOwnerChanged', 'org.freedesktop.DBus',
                                        'org.freedesktop.DBus', '/org/freedesktop/DBus')


def define(interface):
    '''The D-Bus methods of a service on `interface`, for the template's globals.'''

    @dbus.service.method(interface, in_signature='ss', out_signature='u', sender_keyword='sender')
    def Inhibit(self, app, reason, sender=None):
        cookie = self.next_cookie
        self.next_cookie += 1
        self.inhibitors[cookie] = (str(app), str(reason), sender)
        self.history.append((str(app), str(reason), cookie))
        return dbus.UInt32(cookie)

    @dbus.service.method(interface, in_signature='u', out_signature='')
    def UnInhibit(self, cookie):
        if int(cookie) not in self.inhibitors:
            raise dbus.exceptions.DBusException('no such inhibitor', name=interface + '.Error.NotFound')
        del self.inhibitors[int(cookie)]
        self.uninhibit_count += 1

    @dbus.service.method(TEST_IFACE, in_signature='', out_signature='a(ssu)')
    def GetInhibitors(self):
        return dbus.Array([(i[0], i[1], c) for c, i in self.inhibitors.items()], signature='(ssu)')

    @dbus.service.method(TEST_IFACE, in_signature='', out_signature='a(ssu)')
    def GetInhibitHistory(self):
        return dbus.Array(self.history, signature='(ssu)')

    @dbus.service.method(TEST_IFACE, in_signature='', out_signature='u')
    def GetUninhibitCount(self):
        return dbus.UInt32(self.uninhibit_count)

    return {'Inhibit': Inhibit, 'UnInhibit': UnInhibit, 'GetInhibitors': GetInhibitors,
            'GetInhibitHistory': GetInhibitHistory, 'GetUninhibitCount': GetUninhibitCount}
