'''org.kde.StatusNotifierWatcher mock, standing in for a desktop panel with a
tray host, for Vigilo's integration tests.

RegisterStatusNotifierItem(service) records the item (a bus name whose
object is /StatusNotifierItem). The property
RegisteredStatusNotifierItems lists them as "bus-name/path".
'''

import dbus

BUS_NAME = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
MAIN_IFACE = 'org.kde.StatusNotifierWatcher'
SYSTEM_BUS = False


def load(mock, _parameters):
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        'IsStatusNotifierHostRegistered': dbus.Boolean(True),
        'ProtocolVersion': dbus.Int32(0),
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
    }, signature='sv'))
    mock.AddMethod(MAIN_IFACE, 'RegisterStatusNotifierHost', 's', '', '')
    mock.AddMethod(MAIN_IFACE, 'RegisterStatusNotifierItem', 's', '', _register_item)


def _register_item(mock, service):
    item = service if '/' in service else service + '/StatusNotifierItem'
    items = mock.Get(MAIN_IFACE, 'RegisteredStatusNotifierItems')
    mock.Set(MAIN_IFACE, 'RegisteredStatusNotifierItems', dbus.Array(list(items) + [item], signature='s'))
    mock.EmitSignal(MAIN_IFACE, 'StatusNotifierItemRegistered', 's', [item])
