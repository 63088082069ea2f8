'''The polkit policy the build installs, read the way pkexec 122 reads
polkitd's list of actions: for `pkexec <program> <argv1> ...` it takes the
first action whose org.freedesktop.policykit.exec.path is the program and
whose org.freedesktop.policykit.exec.argv1, where the action has one, is
argv1; with none it falls back to org.freedesktop.policykit.exec. polkitd's
order differs between machines, so every verb must come out under its own
action in every order, beside the actions other vendors install.'''

import itertools
import os
import unittest
import xml.etree.ElementTree as ET

from mockbus import bin_dir

EXEC_PATH = 'org.freedesktop.policykit.exec.path'
EXEC_ARGV1 = 'org.freedesktop.policykit.exec.argv1'
PKEXEC_FALLBACK = 'org.freedesktop.policykit.exec'

# What each helper verb is for; the administrator's rules name these.
INTENDED = {
    'lid-drop-in': 'com.vigilo.app.closed-lid',
    'fan': 'com.vigilo.app.fan-control',
    'install-cli': 'com.vigilo.app.install-cli',
}

# Shaped like the policies a desktop installs: pkexec's own action, actions
# with no program, programs of their own with and without argv1.
OTHER_VENDORS = '''<policyconfig>
  <action id="org.freedesktop.policykit.exec"><description>Run a program as another user</description></action>
  <action id="org.freedesktop.login1.reboot"><description>Reboot the system</description></action>
  <action id="org.gnome.settings-daemon.plugins.power.backlight-helper">
    <annotate key="org.freedesktop.policykit.exec.path">/usr/libexec/gsd-backlight-helper</annotate>
  </action>
  <action id="org.gnome.gparted">
    <annotate key="org.freedesktop.policykit.exec.path">/usr/sbin/gpartedbin</annotate>
    <annotate key="org.freedesktop.policykit.exec.allow_gui">true</annotate>
  </action>
  <action id="org.example.tool.fan">
    <annotate key="org.freedesktop.policykit.exec.path">/usr/libexec/example-tool-helper</annotate>
    <annotate key="org.freedesktop.policykit.exec.argv1">fan</annotate>
  </action>
</policyconfig>'''


def actions_of(root):
    '''(id, annotations) of every action in a parsed policy.'''
    return [(action.get('id'), {a.get('key'): a.text for a in action.findall('annotate')})
            for action in root.findall('action')]


def pkexec_action(actions, program, argv1):
    '''pkexec's find_action_for_path over polkitd's list in this order.'''
    for action_id, annotations in actions:
        path = annotations.get(EXEC_PATH)
        if path is None or path != program:
            continue
        wanted = annotations.get(EXEC_ARGV1)
        if wanted is not None and wanted != argv1:
            continue
        return action_id
    return PKEXEC_FALLBACK


def configured_helper_path():
    '''Where the build installs the helper, from its CMake cache.'''
    cache = {}
    with open(os.path.join(bin_dir(), '..', 'CMakeCache.txt'), encoding='utf-8') as f:
        for line in f:
            name, _, value = line.strip().partition('=')
            cache[name.split(':')[0]] = value
    return os.path.join(cache['CMAKE_INSTALL_PREFIX'], cache['CMAKE_INSTALL_LIBEXECDIR'], 'vigilo', 'vigilo-helper')


class PolicyMapping(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        policy = os.path.join(bin_dir(), '..', 'data', 'com.vigilo.app.policy')
        cls.ours = actions_of(ET.parse(policy).getroot())
        cls.helper = configured_helper_path()

    def test_every_action_names_the_installed_helper_and_one_verb(self):
        self.assertEqual(sorted(action_id for action_id, _ in self.ours), sorted(INTENDED.values()))
        for action_id, annotations in self.ours:
            with self.subTest(action=action_id):
                self.assertEqual(annotations.get(EXEC_PATH), self.helper)
                self.assertEqual(INTENDED.get(annotations.get(EXEC_ARGV1)), action_id)

    def test_pkexec_decides_each_verb_under_its_own_action_in_every_order(self):
        others = actions_of(ET.fromstring(OTHER_VENDORS))
        words = list(INTENDED) + ['fan-manual', 'fan-auto', 'reboot', '', None]
        orders = 0
        for order in itertools.permutations(self.ours + others):
            orders += 1
            for word in words:
                decided = pkexec_action(order, self.helper, word)
                if decided != INTENDED.get(word, PKEXEC_FALLBACK):
                    self.fail(f'{word!r} decided as {decided} in the order {[a for a, _ in order]}')
        self.assertEqual(orders, 40320)


if __name__ == '__main__':
    unittest.main()
