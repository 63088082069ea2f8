# fish completion for vigilo

set -l commands why status start stop autowatch watch unwatch patterns timer notify report fleet help version

complete -c vigilo -f
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a why -d 'Show what keeps this computer awake'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a status -d 'Show the current state'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a start -d 'Keep awake until stopped'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a stop -d 'Stop keeping awake'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a autowatch -d 'Switch Auto Mode'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a watch -d 'Add to the watch list'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a unwatch -d 'Remove from the watch list'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a patterns -d 'List the watch list'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a timer -d 'Keep awake for a duration (3600, 90m, 1h30m)'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a notify -d 'Send a local and push notification'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a report -d 'Show the weekly report'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a fleet -d 'List your computers on the MQTT broker'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a help -d 'Show the help'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -a version -d 'Show the version'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -l help -d 'Show the help'
complete -c vigilo -n "not __fish_seen_subcommand_from $commands --" -l version -d 'Show the version'

complete -c vigilo -n "__fish_seen_subcommand_from status report fleet" -l json -d 'One JSON line'
complete -c vigilo -n "__fish_seen_subcommand_from why" -l json -d 'One JSON array'
complete -c vigilo -n "__fish_seen_subcommand_from why" -l all -d 'Delay locks too'
complete -c vigilo -n "__fish_seen_subcommand_from autowatch" -a 'on off toggle'
# The watch list of the running application.
complete -c vigilo -n "__fish_seen_subcommand_from unwatch" -a '(vigilo patterns 2>/dev/null)'
# After `--`, the wrapped command and its own arguments.
complete -c vigilo -n "__fish_seen_subcommand_from --" -a '(__fish_complete_subcommand)'
