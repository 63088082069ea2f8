'''vigilo-helper: the vocabulary it refuses, its refusal to run as a user, and
the effects of its test build on the scratch tree compiled into it (the
build folder's helper-test-root, laid out like /run, /sys and /proc).'''

import os
import shutil
import signal
import stat
import subprocess
import tempfile
import unittest

from mockbus import bin_dir

REFUSED = 2
DROP_IN = ('[Login]\nHandleLidSwitch=ignore\nHandleLidSwitchExternalPower=ignore\n'
           'HandleLidSwitchDocked=ignore\n')


def write(path, text=''):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w') as f:
        f.write(text)


def read(path):
    with open(path) as f:
        return f.read()


class HelperTestBuild(unittest.TestCase):

    def setUp(self):
        self.helper = os.path.join(bin_dir(), 'vigilo-helper-test')
        self.root = os.path.realpath(os.path.join(bin_dir(), '..', 'helper-test-root'))
        shutil.rmtree(self.root, ignore_errors=True)
        self.addCleanup(shutil.rmtree, self.root, True)
        self.sys = os.path.join(self.root, 'sys')
        # hwmon3 drives pwm1; hwmon4 only takes a target rpm; hwmon5 is an
        # SMC-style chip with fanN_manual/fanN_output.
        self.pwm_chip = self.add_chip('hwmon3', 'platform/nct6775.656', ['pwm1', 'pwm1_enable'])
        self.target_chip = self.add_chip('hwmon4', 'platform/thinkpad', ['fan1_target'])
        self.smc_chip = self.add_chip('hwmon5', 'platform/applesmc.768', ['fan1_manual', 'fan1_output'])
        self.stray = os.path.join(self.sys, 'devices', 'platform', 'stray', 'hwmon', 'hwmon9')
        write(os.path.join(self.stray, 'pwm1'))
        write(os.path.join(self.stray, 'pwm1_enable'))
        os.makedirs(os.path.join(self.root, 'proc'))

    def add_chip(self, name, device, attributes):
        real = os.path.join(self.sys, 'devices', device, 'hwmon', name)
        for attribute in attributes:
            write(os.path.join(real, attribute), '0\n')
        link = os.path.join(self.sys, 'class', 'hwmon', name)
        os.makedirs(os.path.dirname(link), exist_ok=True)
        os.symlink(os.path.relpath(real, os.path.dirname(link)), link)
        return link

    def run_helper(self, *args):
        return subprocess.run([self.helper, *args], capture_output=True, text=True, timeout=10)

    def assert_refused(self, args):
        result = self.run_helper(*args)
        self.assertEqual(result.returncode, REFUSED, (args, result.stderr))
        self.assertEqual(result.stderr.count('\n'), 1, (args, result.stderr))
        self.assertTrue(result.stderr.startswith('vigilo-helper: '), result.stderr)

    def test_refuses_everything_outside_its_vocabulary_and_writes_nothing(self):
        chip = self.pwm_chip
        cases = [
            [], ['reboot'], ['lid-drop-in'], ['lid-drop-in', 'On'], ['lid-drop-in', 'on', 'now'],
            ['fan-manual', chip, '1'], ['fan-manual', chip, '1', '100', 'extra'],
            ['fan-manual', chip, '0', '100'], ['fan-manual', chip, '33', '100'], ['fan-manual', chip, '01', '100'],
            ['fan-manual', chip, '1', '256'], ['fan-manual', chip, '1', '-1'], ['fan-manual', chip, '1', '1e2'],
            ['fan-manual', chip, '1', ' 9'], ['fan-manual', chip, '2', '100'],
            ['fan-manual', 'hwmon3', '1', '100'], ['fan-manual', self.stray, '1', '100'],
            ['fan-manual', chip + '/../../../../devices/platform/stray/hwmon/hwmon9', '1', '100'],
            ['fan-manual', os.path.join(self.sys, 'class', 'hwmon'), '1', '100'],
            ['fan-manual', self.target_chip, '1', '100001'],
            ['fan-auto', chip, '1', '10'], ['fan-auto', chip, '1'], ['fan-auto', self.target_chip, '1', '2'],
            ['fan-auto', self.stray, '1', '2'],
            ['install-cli'], ['install-cli', 'vigilo-app'], ['install-cli', '/bin/sh'],
            ['install-cli', 'remove', 'now'],
        ]
        for args in cases:
            with self.subTest(args=args):
                self.assert_refused(args)
        for attribute in ('pwm1', 'pwm1_enable'):
            self.assertEqual(read(os.path.join(self.pwm_chip, attribute)), '0\n')
            self.assertEqual(read(os.path.join(self.stray, attribute)), '')
        self.assertFalse(os.path.exists(os.path.join(self.root, 'run')))
        self.assertFalse(os.path.exists(os.path.join(self.root, 'usr')))

    def test_fan_writes_follow_what_each_chip_offers(self):
        resolved_pwm_chip = os.path.realpath(self.pwm_chip)
        steps = [
            (['fan-manual', resolved_pwm_chip, '1', '200'], self.pwm_chip, {'pwm1_enable': '1', 'pwm1': '200'}),
            (['fan-auto', self.pwm_chip, '1', '5'], self.pwm_chip, {'pwm1_enable': '5', 'pwm1': '200'}),
            (['fan-manual', self.target_chip, '1', '2400'], self.target_chip, {'fan1_target': '2400'}),
            (['fan-manual', self.smc_chip, '1', '3000'], self.smc_chip, {'fan1_manual': '1', 'fan1_output': '3000'}),
            (['fan-auto', self.smc_chip, '1', '2'], self.smc_chip, {'fan1_manual': '0', 'fan1_output': '3000'}),
        ]
        for args, chip, expected in steps:
            with self.subTest(args=args):
                result = self.run_helper(*args)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual({name: read(os.path.join(chip, name)) for name in expected}, expected)

    def start_process(self, scratch, comm):
        '''A real child (a copy of sleep) listed in the fake /proc as comm.'''
        program = os.path.join(scratch, comm)
        shutil.copy('/bin/sleep', program)
        child = subprocess.Popen([program, '30'])
        self.addCleanup(child.wait)
        self.addCleanup(child.kill)
        write(os.path.join(self.root, 'proc', str(child.pid), 'comm'), comm + '\n')
        return child

    def test_lid_drop_in_is_written_removed_and_logind_reloaded(self):
        scratch = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, scratch)
        bystander = self.start_process(scratch, 'sleep')
        drop_in = os.path.join(self.root, 'run', 'systemd', 'logind.conf.d', 'vigilo-lid.conf')
        for word, present in (('on', True), ('off', False), ('off', False)):
            with self.subTest(word=word):
                logind = self.start_process(scratch, 'systemd-logind')
                result = self.run_helper('lid-drop-in', word)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(logind.wait(timeout=5), -signal.SIGHUP)
                # A reaped pid may be reused by anything: it leaves the fake /proc.
                shutil.rmtree(os.path.join(self.root, 'proc', str(logind.pid)))
                self.assertEqual(os.path.exists(drop_in), present)
                if present:
                    self.assertEqual(read(drop_in), DROP_IN)
                    self.assertEqual(stat.S_IMODE(os.stat(drop_in).st_mode), 0o644)
        self.assertIsNone(bystander.poll())

    def test_cli_wrapper_runs_the_application_and_is_removed(self):
        scratch = tempfile.mkdtemp(prefix="it's ")
        self.addCleanup(shutil.rmtree, scratch)
        application = os.path.join(scratch, 'vigilo-app')
        write(application, '#!/bin/sh\nprintf "%s\\n" "$@"\n')
        os.chmod(application, 0o755)
        wrapper = os.path.join(self.root, 'usr', 'local', 'bin', 'vigilo')
        result = self.run_helper('install-cli', application)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(stat.S_IMODE(os.stat(wrapper).st_mode), 0o755)
        output = subprocess.run([wrapper, 'status', 'two words'], capture_output=True, text=True, timeout=10)
        self.assertEqual(output.stdout, '--cli\nstatus\ntwo words\n')
        for _ in range(2):
            self.assertEqual(self.run_helper('install-cli', 'remove').returncode, 0)
            self.assertFalse(os.path.exists(wrapper))


class InstalledHelper(unittest.TestCase):

    def test_refuses_to_run_without_root(self):
        command = [os.path.join(bin_dir(), 'vigilo-helper'), 'lid-drop-in', 'off']
        if os.geteuid() == 0:
            setpriv = shutil.which('setpriv')
            if setpriv is None:
                self.skipTest('running as root without setpriv to drop to nobody')
            command = [setpriv, '--reuid=nobody', '--regid=nogroup', '--clear-groups', *command]
        result = subprocess.run(command, capture_output=True, text=True, timeout=10)
        self.assertEqual(result.returncode, REFUSED, result.stderr)
        self.assertIn('must run as root', result.stderr)


if __name__ == '__main__':
    unittest.main()
