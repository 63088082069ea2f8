'''org.freedesktop.ScreenSaver mock (keeps the screen on) for Vigilo's
integration tests; see freedesktop_inhibit.py.'''

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import freedesktop_inhibit  # noqa: E402 pylint: disable=wrong-import-position

BUS_NAME = 'org.freedesktop.ScreenSaver'
MAIN_OBJ = '/org/freedesktop/ScreenSaver'
MAIN_IFACE = 'org.freedesktop.ScreenSaver'
SYSTEM_BUS = False

globals().update(freedesktop_inhibit.define(MAIN_IFACE))
load = freedesktop_inhibit.load
