'''python-dbusmock's logind whose Inhibit refuses the kinds of lock named in
the parameter "RefuseWhat" (a list, e.g. ["sleep"]) with AccessDenied, as
polkit does outside a session. Every other call is the stock template's.
'''

import dbus

from dbusmock import mockobject
from dbusmock.templates import logind
from dbusmock.templates.logind import *  # noqa: F401,F403 pylint: disable=wildcard-import,unused-wildcard-import

BUS_NAME = 'org.freedesktop.login1'


def load(mock, parameters):
    logind.load(mock, parameters)
    mockobject.refused_locks = list(parameters.get('RefuseWhat', []))


@dbus.service.method(logind.MAIN_IFACE, in_signature='ssss', out_signature='h')
def Inhibit(self, what, who, why, mode):  # pylint: disable=invalid-name
    if what in getattr(mockobject, 'refused_locks', []):
        raise dbus.exceptions.DBusException('Access denied', name='org.freedesktop.DBus.Error.AccessDenied')
    return logind.Inhibit(self, what, who, why, mode)
