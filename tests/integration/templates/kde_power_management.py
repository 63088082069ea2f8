'''org.freedesktop.PowerManagement mock (KDE's idle-suspend inhibitor) for
Vigilo's integration tests; see freedesktop_inhibit.py.'''

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import freedesktop_inhibit  # noqa: E402 pylint: disable=wrong-import-position

BUS_NAME = 'org.freedesktop.PowerManagement'
MAIN_OBJ = '/org/freedesktop/PowerManagement/Inhibit'
MAIN_IFACE = 'org.freedesktop.PowerManagement.Inhibit'
SYSTEM_BUS = False

globals().update(freedesktop_inhibit.define(MAIN_IFACE))
load = freedesktop_inhibit.load
