'''Every command, option and choice word that `vigilo help` and `vigilo-app
--help` print is described in its manual page, read from man/ in the source
tree and asked of the built binary.'''

import os
import re
import subprocess
import unittest

from mockbus import bin_dir, no_bus_env

MAN_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'man')


def printed(program, *args):
    result = subprocess.run([os.path.join(bin_dir(), program), *args], env=no_bus_env(), capture_output=True,
                            text=True, timeout=30, check=True)
    return result.stdout


def manual_text(name):
    '''The words of a manual page without its markup: requests, font changes,
    escaped hyphens and quoting gone.'''
    with open(os.path.join(MAN_DIR, name), encoding='utf-8') as page:
        lines = [line for line in page.read().splitlines() if not line.startswith('.\\"')]
    text = '\n'.join(re.sub(r'^\.[A-Za-z]+\s?', '', line) for line in lines)
    text = re.sub(r'\\f[BIRP]', '', text).replace('\\-', '-').replace('\\e', '\\')
    return re.sub(r'\\\([a-z]{2}', ' ', text).replace('"', ' ')


def listed_words(columns):
    '''Commands, options and the words of a|b|c choices in the first column of
    help lines; placeholders (<cmd>, args...) are not words of the program.'''
    words = []
    for column in columns:
        for token in re.split(r'[\s|\[\],]+', column):
            if re.fullmatch(r'--?[a-z][a-z-]*|--|[a-z][a-z-]*', token):
                words.append(token)
    return words


def first_columns(lines):
    return [re.split(r'\s{2,}', line.strip())[0] for line in lines]


def described(word, text):
    return re.search(r'(?<![\w-])' + re.escape(word) + r'(?![\w-])', text) is not None


class ManualPages(unittest.TestCase):

    def assert_described(self, words, page):
        text = manual_text(page)
        self.assertGreater(len(words), 5, 'the help text was not understood')
        missing = [word for word in words if not described(word, text)]
        self.assertEqual(missing, [], f'in the help, missing from man/{page}')

    def test_vigilo_help_is_in_vigilo_1(self):
        help_text = printed('vigilo', 'help').split('Examples:')[0]
        lines = [line for line in help_text.splitlines() if line.startswith('  vigilo ')]
        words = listed_words(line.removeprefix('  vigilo ') for line in first_columns(lines))
        self.assertIn('timer', words)
        self.assert_described(words, 'vigilo.1')

    def test_vigilo_app_help_is_in_vigilo_app_1(self):
        lines = printed('vigilo-app', '--help').splitlines()
        options = [line for line in lines if line.startswith('  -')]
        words = listed_words(first_columns(options)) + listed_words(re.findall(r'\[([^\]]*)\]', lines[0]))
        self.assertIn('--install-cli', words)
        self.assert_described(words, 'vigilo-app.1')

    def test_the_reading_of_pages_finds_words_and_only_words(self):
        text = manual_text('vigilo-app.1')
        self.assertTrue(described('--headless', text))
        self.assertFalse(described('--head', text))
        self.assertFalse(described('--no-such-option', text))


if __name__ == '__main__':
    unittest.main()
