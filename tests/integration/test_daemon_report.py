'''`vigilo report` against a running daemon that loaded a known activity log.'''

import datetime
import json
import os
import uuid

from test_daemon import DaemonTestCase

REPORT_TEXT = '''Weekly report (last 7 days)
Kept awake:          2.5 h
Protected sessions:  1
Closed-lid sessions: 1
Low-battery saves:   1
Thermal warnings:    3
Emergency sleeps:    0
Longest session:     2.5 h
Workstation score:   76/100 (thermal risk)
'''


def event(now, hours_ago, kind, value=None):
    at = (now - datetime.timedelta(hours=hours_ago)).strftime('%Y-%m-%dT%H:%M:%SZ')
    entry = {'id': str(uuid.uuid4()).upper(), 'at': at, 'kind': kind}
    if value is not None:
        entry['value'] = value
    return entry


class Report(DaemonTestCase):

    def start_daemon(self):
        if not hasattr(self, 'daemon'):
            self.write_week()
        return super().start_daemon()

    def write_week(self):
        '''Newest first, as the log keeps it; one session of 2.5 hours, and an
        emergency sleep from before the week that must not count.'''
        now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
        events = [event(now, 1, 'thermalCritical'), event(now, 2, 'thermalCritical'),
                  event(now, 2.5, 'keepAwakeStopped'), event(now, 3, 'autoStopped', 18),
                  event(now, 4, 'crashGuardArmed'), event(now, 4, 'clamshellOn'),
                  event(now, 5, 'keepAwakeStarted'), event(now, 30, 'thermalCritical'),
                  event(now, 8 * 24, 'batteryForceSleep', 4)]
        folder = os.path.join(self.home, 'data', 'Vigilo')
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, 'activity.json'), 'w', encoding='utf-8') as f:
            json.dump(events, f)

    def test_text_and_json(self):
        result = self.vigilo('report')
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, REPORT_TEXT, ''))

        result = self.vigilo('report', '--json')
        self.assertEqual((result.returncode, result.stderr, len(result.stdout.splitlines())), (0, '', 1))
        report = json.loads(result.stdout)
        generated = datetime.datetime.strptime(report.pop('generatedAt'), '%Y-%m-%dT%H:%M:%SZ')
        age = datetime.datetime.now(datetime.timezone.utc) - generated.replace(tzinfo=datetime.timezone.utc)
        self.assertLess(abs(age.total_seconds()), 60)
        self.assertEqual(list(report.items()),
                         [('runtimeHours', 2.5), ('protectedSessions', 1), ('lidClosedSessions', 1),
                          ('lowBatterySaves', 1), ('thermalWarnings', 3), ('emergencySleeps', 0),
                          ('longestSessionHours', 2.5), ('score', 76), ('rating', 'thermalRisk')])
