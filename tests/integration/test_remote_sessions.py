'''A rule that holds while someone is logged in remotely, end to end: the
daemon follows python-dbusmock's logind, whose sessions the test adds and
removes with the signals logind sends, and keeps the computer awake only
while a remote session of this user is there.'''

import json
import os
import time

import dbus

from test_daemon import DaemonTestCase

LOGIND_NAME = 'org.freedesktop.login1'
LOGIND_PATH = '/org/freedesktop/login1'
MANAGER = 'org.freedesktop.login1.Manager'
SESSION = 'org.freedesktop.login1.Session'
# The rule engine looks every five seconds; the answer may land just after a look.
ONE_TICK = 5.0
WITHIN_ONE_TICK = ONE_TICK + 1.5

SSH_RULE = {'id': '5D1E8C6A-3F0B-4E2D-9A71-0C4B2E6F8D13', 'name': 'SSH', 'isEnabled': True,
            'conditions': [{'remoteSessionActive': {}}], 'actions': [{'keepAwakeWhileHeld': {}}],
            'cooldownSeconds': 0, 'isBuiltIn': False, 'createdAt': 800000000, 'updatedAt': 800000000}


class RemoteSessionRule(DaemonTestCase):

    def setUp(self):
        super().setUp()
        self.restart_with_rule()

    def restart_with_rule(self):
        self.daemon.terminate()
        self.daemon.wait(timeout=10)
        with open(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'), 'w', encoding='utf-8') as f:
            json.dump({'watchPatterns': ['ollama'], 'pollInterval': 1, 'smartRulesEnabled': True}, f)
        data = os.path.join(self.home, 'data', 'Vigilo')
        os.makedirs(data, exist_ok=True)
        with open(os.path.join(data, 'rules.json'), 'w', encoding='utf-8') as f:
            json.dump([SSH_RULE], f)
        self.daemon = self.start_daemon()

    def logind(self):
        return self.bus.mock_interface(True, LOGIND_NAME, LOGIND_PATH)

    def add_session(self, session_id, uid, remote):
        path = self.logind().AddSession(session_id, 'seat0', dbus.UInt32(uid), f'user{uid}', True)
        session = self.bus.connection(True).get_object(LOGIND_NAME, path)
        dbus.Interface(session, 'org.freedesktop.DBus.Properties').Set(SESSION, 'Remote', dbus.Boolean(remote))
        self.logind().EmitSignal(MANAGER, 'SessionNew', 'so', [session_id, path])
        return path

    def remove_session(self, session_id, path):
        self.logind().RemoveObject(path)
        self.logind().EmitSignal(MANAGER, 'SessionRemoved', 'so', [session_id, path])

    def activity_kinds(self):
        try:
            with open(os.path.join(self.home, 'data', 'Vigilo', 'activity.json'), encoding='utf-8') as f:
                return [(event['kind'], event.get('text')) for event in json.load(f)]
        except (OSError, ValueError):
            return []

    def daemon_log(self):
        with open(os.path.join(self.home, 'daemon.log'), encoding='utf-8', errors='replace') as f:
            return f.read()

    def test_a_remote_session_of_this_user_holds_the_computer_awake_until_it_ends(self):
        self.add_session('c1', os.getuid() + 1, remote=True)  # someone else's
        self.add_session('2', os.getuid(), remote=False)      # this user at the screen
        time.sleep(ONE_TICK + 1)
        self.assertEqual(self.our_locks(), [])
        self.assertNotIn('Kept awake by rule', self.vigilo('status').stdout)

        path = self.add_session('c2', os.getuid(), remote=True)
        self.wait_until(lambda: len(self.our_locks()) == 1, WITHIN_ONE_TICK, 'the remote session held nothing')
        status = self.vigilo('status').stdout
        self.assertIn('Mode:       Awake Off', status)
        self.assertIn('Kept awake by rule: SSH\n', status)

        self.remove_session('c2', path)
        self.wait_until(lambda: self.our_locks() == [], WITHIN_ONE_TICK, 'the hold outlived the session')
        self.assertNotIn('Kept awake by rule', self.vigilo('status').stdout)
        self.wait_until(lambda: ('ruleHoldEnded', 'SSH') in self.activity_kinds(), 5, 'no activity entry')
        held = [entry for entry in self.activity_kinds() if entry[0].startswith('ruleHold')]
        self.assertEqual(sorted(held), [('ruleHoldEnded', 'SSH'), ('ruleHoldStarted', 'SSH')])

    def test_a_list_in_a_form_not_logind_s_holds_nothing_and_is_logged_once(self):
        self.logind().AddMethod(MANAGER, 'ListSessions', '', 's', 'ret = "not a list"')
        self.add_session('c3', os.getuid(), remote=True)
        self.add_session('c4', os.getuid(), remote=True)
        time.sleep(ONE_TICK + 1)
        self.assertEqual(self.our_locks(), [])
        self.assertIsNone(self.daemon.poll())
        self.assertEqual(self.daemon_log().count('Remote sessions unknown'), 1, self.daemon_log())

    def test_a_logind_that_does_not_answer_holds_nothing_and_is_logged_once(self):
        self.logind().AddMethod(MANAGER, 'ListSessions', '', 'a(susso)', 'import time; time.sleep(8); ret = []')
        self.add_session('c5', os.getuid(), remote=True)
        self.wait_until(lambda: 'logind did not answer' in self.daemon_log(), 10, 'no word of the silence')
        self.assertEqual(self.our_locks(), [])
        self.assertEqual(self.daemon_log().count('Remote sessions unknown'), 1, self.daemon_log())
