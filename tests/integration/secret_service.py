'''A real Secret Service (gnome-keyring) that a private session bus starts
on demand, as on a GNOME desktop, with its keyrings in a folder of the
caller's; and the webhook settings stored in it the way Vigilo stores them.

    make_keyring_activatable(bus, folder)      # False: gnome-keyring missing
    store_webhooks(bus, {'genericEnabled': True, ...})
'''

import json
import os
import shlex

import dbus

KEYRING = '/usr/bin/gnome-keyring-daemon'
SECRETS = ('org.freedesktop.secrets', '/org/freedesktop/secrets', 'org.freedesktop.Secret.Service')
WEBHOOK_ATTRIBUTES = {'service': 'com.vigilo.app.webhooks', 'account': 'config',
                      'xdg:schema': 'com.vigilo.app.Credential'}
WEBHOOK_KEYS = ('telegramEnabled', 'telegramToken', 'telegramChatID', 'discordEnabled', 'discordURL',
                'slackEnabled', 'slackURL', 'genericEnabled', 'genericURL')


def make_keyring_activatable(bus, folder):
    '''Lets the session bus start gnome-keyring, unlocked, when the Secret
    Service's name is first called. Its home is `folder`, never the user's:
    the variables are set on its own command line. Returns False where
    gnome-keyring is not installed.'''
    if not os.access(KEYRING, os.X_OK):
        return False
    run = os.path.join(folder, 'run')
    os.makedirs(run, mode=0o700, exist_ok=True)
    variables = {'HOME': folder, 'XDG_DATA_HOME': os.path.join(folder, 'data'),
                 'XDG_CONFIG_HOME': os.path.join(folder, 'config'), 'XDG_RUNTIME_DIR': run,
                 'DBUS_SESSION_BUS_ADDRESS': bus.addresses['session']}
    # The login keyring's password comes on standard input; it is created
    # with it and left unlocked.
    keyring = f'printf test | exec {KEYRING} --unlock --foreground --components=secrets'
    command = ['/usr/bin/env', *[f'{k}={v}' for k, v in variables.items()], '/bin/sh', '-c', keyring]
    with open(os.path.join(bus.service_folder(False), SECRETS[0] + '.service'), 'w', encoding='utf-8') as f:
        f.write('[D-BUS Service]\n')
        f.write(f'Name={SECRETS[0]}\n')
        f.write('Exec=' + ' '.join(shlex.quote(part) for part in command) + '\n')
    return True


def keyring_running(bus):
    return bool(bus.connection(False).name_has_owner(SECRETS[0]))


def store_webhooks(bus, settings):
    '''Stores the webhook settings (missing keys off or empty) as the
    application's item in the default collection, starting the keyring.'''
    config = {key: settings.get(key, False if key.endswith('Enabled') else '') for key in WEBHOOK_KEYS}
    text = json.dumps(config, separators=(',', ':'))
    connection = bus.connection(False)
    service = dbus.Interface(connection.get_object(SECRETS[0], SECRETS[1]), SECRETS[2])
    _, session = service.OpenSession('plain', dbus.String('', variant_level=1))
    collection = dbus.Interface(connection.get_object(SECRETS[0], '/org/freedesktop/secrets/aliases/default'),
                                'org.freedesktop.Secret.Collection')
    properties = {'org.freedesktop.Secret.Item.Label': 'Vigilo webhooks',
                  'org.freedesktop.Secret.Item.Attributes': dbus.Dictionary(WEBHOOK_ATTRIBUTES, signature='ss')}
    secret = dbus.Struct((session, dbus.ByteArray(b''), dbus.ByteArray(text.encode()), 'text/plain'),
                         signature='oayays')
    collection.CreateItem(properties, secret, True)

