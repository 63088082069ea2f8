#include "platform/linux/proc/proc_cmdline.h"

#include <algorithm>

#include "support/utf8_text.h"

namespace vigilo {

std::string joinProcCmdline(std::string_view raw) {
    std::string joined;
    for (std::size_t pos = 0; pos < raw.size();) {
        const std::size_t end = std::min(raw.find('\0', pos), raw.size());
        if (end > pos) {
            if (!joined.empty()) joined.push_back(' ');
            joined.append(raw, pos, end - pos);
        }
        pos = end + 1;
    }
    return decodeUtf8Lossy(joined);
}

}  // namespace vigilo
