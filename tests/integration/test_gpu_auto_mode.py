'''GPU figures through the socket and the command line: a watched process that
holds no GPU has its CPU use and no GPU figure, and GPU detection switched off
in the preferences leaves the figure out as well.'''

import json
import os
import shutil
import subprocess
import tempfile
import unittest

from test_daemon import DaemonTestCase


class GpuFiguresInStatus(DaemonTestCase):

    def start_ollama(self):
        folder = tempfile.mkdtemp(prefix='vigilo-ollama-')
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        program = os.path.join(folder, 'ollama')
        shutil.copy('/bin/sleep', program)
        child = subprocess.Popen([program, '300'])
        self.addCleanup(child.wait)
        self.addCleanup(child.kill)
        return child

    def details(self):
        return json.loads(self.vigilo('status', '--json').stdout).get('taskDetails') or []

    def test_a_process_without_a_gpu_shows_its_cpu_alone(self):
        child = self.start_ollama()
        self.assertEqual(self.vigilo('autowatch', 'on').returncode, 0)
        # Past the first sighting: two samples have been taken.
        self.wait_until(lambda: any(t['pid'] == child.pid and not t['active'] for t in self.details()), 10,
                        'the idle task was not listed with its figures')
        task = next(t for t in self.details() if t['pid'] == child.pid)
        self.assertEqual(task['name'], 'ollama')
        self.assertIsInstance(task['cpuPercent'], (int, float))
        self.assertIsNone(task['gpuPercent'])
        self.assertIn('Load:       ollama (CPU 0%)\n', self.vigilo('status').stdout)

    def test_without_cpu_detection_the_task_stays_active_and_shows_no_cpu_figure(self):
        with open(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'), 'w', encoding='utf-8') as f:
            json.dump({'watchPatterns': ['ollama'], 'pollInterval': 1, 'useCpuDetection': False,
                       'useGpuDetection': False}, f)
        self.daemon.kill()
        self.daemon.wait()
        self.daemon = self.start_daemon()
        child = self.start_ollama()
        self.assertEqual(self.vigilo('autowatch', 'on').returncode, 0)
        self.wait_until(lambda: any(t['pid'] == child.pid for t in self.details()), 10, 'the task was not listed')
        task = next(t for t in self.details() if t['pid'] == child.pid)
        self.assertEqual((task['active'], task['cpuPercent'], task['gpuPercent']), (True, None, None))
        self.assertIn('Load:       ollama\n', self.vigilo('status').stdout)


if __name__ == '__main__':
    unittest.main()
