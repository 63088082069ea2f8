'''Smart Rules and the watchdog in the running daemon: a rule over a process
name, and a lost network on a mock NetworkManager reaching the notification
server, a phone push, the activity log and a webhook.'''

import http.server
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import uuid

import dbus

from test_daemon import DaemonTestCase

NM = ('org.freedesktop.NetworkManager', '/org/freedesktop/NetworkManager')


class Receiver:
    '''A local HTTP server that keeps every POST as (path, headers, body).'''

    def __init__(self, test):
        received = self.received = []

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):  # noqa: N802
                length = int(self.headers.get('Content-Length', 0))
                received.append((self.path, dict(self.headers), self.rfile.read(length).decode()))
                self.send_response(200)
                self.end_headers()

            def log_message(self, *_):
                pass

        self.server = http.server.HTTPServer(('127.0.0.1', 0), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        test.addCleanup(self.server.shutdown)
        self.url = f'http://127.0.0.1:{self.server.server_port}'


# A name of this run's own (the kernel keeps 15 bytes of it), so that a run
# beside this one cannot set the rule off.
RENDER = f'vr-{os.getpid()}-{uuid.uuid4().hex[:4]}'[:15]
RENDER_RULE = {'id': '7E0C1D51-4C7B-4D1A-9D0B-2F1A8E3C5B60', 'name': 'render', 'isEnabled': True,
               'conditions': [{'processRunning': {'pattern': RENDER}}],
               'actions': [{'startKeepAwake': {}}], 'cooldownSeconds': 300, 'isBuiltIn': False,
               'createdAt': 800000000, 'updatedAt': 800000000}


class SmartRulesAndWatchdog(DaemonTestCase):

    def restart_with(self, preferences, rules=None, webhooks=None):
        self.daemon.terminate()
        self.daemon.wait(timeout=10)
        folder = os.path.join(self.home, 'config', 'Vigilo')
        with open(os.path.join(folder, 'preferences.json'), 'w', encoding='utf-8') as f:
            json.dump(dict({'watchPatterns': ['ollama'], 'pollInterval': 1}, **preferences), f)
        if webhooks is not None:
            path = os.path.join(folder, 'webhooks.json')
            with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), 'w', encoding='utf-8') as f:
                json.dump(webhooks, f)
        if rules is not None:
            data = os.path.join(self.home, 'data', 'Vigilo')
            os.makedirs(data, exist_ok=True)
            with open(os.path.join(data, 'rules.json'), 'w', encoding='utf-8') as f:
                json.dump(rules, f)
        self.daemon = self.start_daemon()

    def activity_kinds(self):
        path = os.path.join(self.home, 'data', 'Vigilo', 'activity.json')
        try:
            with open(path, encoding='utf-8') as f:
                return [event['kind'] for event in json.load(f)]
        except (OSError, ValueError):
            return []

    def start_render(self):
        folder = tempfile.mkdtemp(prefix='vigilo-render-')
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        render = os.path.join(folder, RENDER)
        shutil.copy('/bin/sleep', render)
        process = subprocess.Popen([render, '30'])
        self.addCleanup(process.kill)

    def test_a_process_rule_keeps_the_computer_awake_while_its_process_runs(self):
        self.restart_with({'smartRulesEnabled': True}, rules=[RENDER_RULE])
        self.assertEqual(self.our_locks(), [])
        self.start_render()
        self.wait_until(lambda: len(self.our_locks()) == 1, 15, 'the rule did not keep the computer awake')
        self.assertIn('Awake On', self.vigilo('status').stdout)

    def test_sighup_reads_edited_rules_and_preferences(self):
        self.restart_with({'smartRulesEnabled': False}, rules=[])
        self.start_render()
        with open(os.path.join(self.home, 'data', 'Vigilo', 'rules.json'), 'w', encoding='utf-8') as f:
            json.dump([RENDER_RULE], f)
        with open(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'), 'w', encoding='utf-8') as f:
            json.dump({'watchPatterns': ['ollama'], 'pollInterval': 1, 'smartRulesEnabled': True}, f)
        self.daemon.send_signal(signal.SIGHUP)
        self.wait_until(lambda: len(self.our_locks()) == 1, 15, 'the edited rule and switch were not read')
        self.assertIsNone(self.daemon.poll())

    def test_a_lost_network_alerts_once_per_throttle(self):
        self.bus.add_template('networkmanager', system_bus=True)
        push, hooks = Receiver(self), Receiver(self)
        self.restart_with({'pushProvider': 'ntfy', 'ntfyTopic': 'alerts', 'ntfyServer': push.url},
                          webhooks={'telegramEnabled': False, 'telegramToken': '', 'telegramChatID': '',
                                    'discordEnabled': False, 'discordURL': '', 'slackEnabled': False,
                                    'slackURL': '', 'genericEnabled': True, 'genericURL': hooks.url + '/hook'})
        nm = dbus.Interface(self.bus.connection(True).get_object(*NM), 'org.freedesktop.DBus.Mock')

        nm.SetGlobalConnectionState(dbus.UInt32(20))  # disconnected
        self.wait_until(lambda: hooks.received and push.received, 10, 'no alert left the daemon')
        nm.SetGlobalConnectionState(dbus.UInt32(70))
        nm.SetGlobalConnectionState(dbus.UInt32(20))  # again, within 180 seconds: throttled
        self.wait_until(lambda: 'networkLost' in self.activity_kinds(), 5, 'no activity entry')

        self.assertIn(('Vigilo watchdog', 'Network connection lost.'), [n[:2] for n in self.notifications()])
        self.assertEqual([(path, headers.get('Title'), body) for path, headers, body in push.received],
                         [('/alerts', 'Vigilo watchdog', 'Network connection lost.')])
        [(path, _, body)] = hooks.received
        self.assertEqual(path, '/hook')
        self.assertEqual(json.loads(body)['event'], 'networkLost')
        self.assertEqual(self.activity_kinds().count('networkLost'), 1)
        self.assertEqual(len([n for n in self.notifications() if n[0] == 'Vigilo watchdog']), 1)
