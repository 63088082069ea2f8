#include "cli/help_text.h"

#include "support/tr.h"

namespace vigilo {

std::string cliHelpText() {
    return tr("vigilo 1.0.0 \u2014 keep your computer awake for AI / dev tasks\n"
              "\n"
              "  vigilo -- <cmd> [args...]    Wrap a command (self-contained).\n"
              "                               Computer stays awake until the command exits,\n"
              "                               and vigilo exits with its status. Each argument\n"
              "                               arrives as typed; one word alone is shell text:\n"
              "                               vigilo -- 'make && make test'\n"
              "  vigilo why [--json]         What keeps this computer awake.\n"
              "\n"
              "Daemon commands (Vigilo app must be running):\n"
              "  vigilo status [--json]       Show current state and the watched tasks\n"
              "  vigilo start | stop          Manual keep-awake\n"
              "  vigilo autowatch [on|off|toggle]\n"
              "  vigilo watch <pattern...>    Add to watch-list\n"
              "  vigilo unwatch <pattern...>  Remove from watch-list\n"
              "  vigilo patterns              List watch-list\n"
              "  vigilo timer <duration>      Keep awake for 3600 (seconds), 90m, 1h30m, 45s\n"
              "  vigilo notify \"<title>\" [\"<body>\"]\n"
              "                               Send a local + push notification\n"
              "  vigilo help | version        This text, or the version\n"
              "  vigilo report [--json]      Weekly report and workstation score\n"
              "  vigilo fleet [--json]       All your computers on the MQTT broker\n"
              "\n"
              "Examples:\n"
              "  vigilo -- python train.py --epochs 100\n"
              "  vigilo autowatch on\n"
              "  vigilo watch foo bar\n"
              "  vigilo timer 1h30m\n"
              "  echo \"ok\" | xargs -I{} vigilo notify \"Done\" \"{}\"");
}

}  // namespace vigilo
