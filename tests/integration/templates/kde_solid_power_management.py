'''org.kde.Solid.PowerManagement mock (KDE's power manager, whose
refreshStatus makes it read its settings again) for Vigilo's integration
tests. The calls are read back with the mock interface's GetMethodCalls.'''

BUS_NAME = 'org.kde.Solid.PowerManagement'
MAIN_OBJ = '/org/kde/Solid/PowerManagement'
MAIN_IFACE = 'org.kde.Solid.PowerManagement'
SYSTEM_BUS = False


def load(mock, _parameters):
    mock.AddMethod(MAIN_IFACE, 'refreshStatus', '', '', '')
