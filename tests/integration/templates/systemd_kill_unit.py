'''org.freedesktop.systemd1's Manager with KillUnit(unit, whom, signal), the
call the privileged helper uses to have logind re-read its drop-ins. Calls
are recorded (the mock's GetCalls). The parameter "KillUnitError" (an error
name) makes every call fail with it, as systemd does for a unit with no
main process.
'''

BUS_NAME = 'org.freedesktop.systemd1'
MAIN_OBJ = '/org/freedesktop/systemd1'
MAIN_IFACE = 'org.freedesktop.systemd1.Manager'
SYSTEM_BUS = True


def load(mock, parameters):
    error = parameters.get('KillUnitError')
    code = f'raise dbus.exceptions.DBusException("No main process to kill", name="{error}")' if error else ''
    mock.AddMethod(MAIN_IFACE, 'KillUnit', 'ssi', '', code)
