'''A `vigilo-app --headless` of its own for a benchmark: private buses with a
mock logind, a temporary home with the given preferences, ended and removed
on leaving.

    with headless_daemon(app, vigilo, {'pollInterval': 1}) as (daemon, env):
        subprocess.run([vigilo, 'autowatch', 'on'], env=env)

`setup(bus, home)`, when given, runs before the daemon starts: to put more
services on the buses or files in the home.
'''

import contextlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..'))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'integration'))
from mockbus import MockBus  # noqa: E402


def _wait_for_answer(vigilo, env):
    deadline = time.monotonic() + 10
    while subprocess.run([vigilo, 'status'], env=env, capture_output=True).returncode != 0:
        if time.monotonic() > deadline:
            sys.exit('the daemon did not answer')
        time.sleep(0.05)


@contextlib.contextmanager
def headless_daemon(app, vigilo, preferences, setup=None):
    '''Yields the daemon's Popen, once it answers, and the environment that
    reaches it.'''
    home = tempfile.mkdtemp(prefix='vigilo-bench-')
    try:
        with MockBus() as bus:
            bus.add_logind()
            runtime = os.path.join(home, 'run')
            os.mkdir(runtime, 0o700)
            config = os.path.join(home, 'config')
            os.makedirs(os.path.join(config, 'Vigilo'))
            with open(os.path.join(config, 'Vigilo', 'preferences.json'), 'w', encoding='utf-8') as f:
                json.dump(preferences, f)
            env = dict(bus.env, HOME=home, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=config,
                       XDG_DATA_HOME=os.path.join(home, 'data'))
            if setup:
                setup(bus, home)
            daemon = subprocess.Popen([app, '--headless'], env=env, stderr=subprocess.DEVNULL)
            try:
                _wait_for_answer(vigilo, env)
                yield daemon, env
            finally:
                daemon.terminate()
                daemon.wait(timeout=10)
    finally:
        shutil.rmtree(home, ignore_errors=True)
