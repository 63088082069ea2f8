'''org.freedesktop.portal.Desktop offering only the Background interface, for
Vigilo's integration tests. RequestBackground answers with a request path and
records its call (the Mock interface's GetCalls lists it).
'''

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Background'
SYSTEM_BUS = False


def load(mock, _parameters):
    mock.AddMethod(MAIN_IFACE, 'RequestBackground', 'sa{sv}', 'o',
                   'ret = dbus.ObjectPath("/org/freedesktop/portal/desktop/request/1/vigilo_background")')
