#include "helper/policy/policy_document.h"

#include "platform/helper_verbs.h"

namespace vigilo {
namespace {

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// Every step asks for an administrator; an active session's answer is kept
// for a while, so a fan preset's hand-back needs no second prompt.
constexpr std::string_view kDefaults =
    "    <defaults>\n"
    "      <allow_any>auth_admin</allow_any>\n"
    "      <allow_inactive>auth_admin</allow_inactive>\n"
    "      <allow_active>auth_admin_keep</allow_active>\n"
    "    </defaults>\n";

std::string action(const HelperVerbAction& verb, std::string_view helperPath) {
    std::string text = "  <action id=\"" + escaped(verb.actionId) + "\">\n";
    text += "    <description>" + escaped(verb.description) + "</description>\n";
    text += "    <message>" + escaped(verb.message) + "</message>\n";
    text += kDefaults;
    text += "    <annotate key=\"org.freedesktop.policykit.exec.path\">" + escaped(helperPath) + "</annotate>\n";
    text += "    <annotate key=\"org.freedesktop.policykit.exec.argv1\">" + escaped(verb.word) + "</annotate>\n";
    text += "  </action>\n";
    return text;
}

}  // namespace

std::string polkitPolicyDocument(std::string_view helperPath) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE policyconfig PUBLIC \"-//freedesktop//DTD PolicyKit Policy Configuration 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/PolicyKit/1/policyconfig.dtd\">\n"
        "<!-- Written at build time from the helper's verb table; edit src/platform/helper_verbs.h. -->\n"
        "<policyconfig>\n"
        "  <vendor>Vigilo</vendor>\n";
    for (const auto& verb : kHelperVerbActions) text += "\n" + action(verb, helperPath);
    text += "</policyconfig>\n";
    return text;
}

}  // namespace vigilo
