#include "main/why_service.h"

#include <unistd.h>

#include "app/app_state.h"
#include "app/why/own_keep_awake.h"
#include "detection/process_watcher.h"

namespace vigilo {

WhyService::WhyService(Loop& loop, AppState& state)
    : sources_(&loop),
      watch_(loop, sources_,
             {.userUid = static_cast<std::uint32_t>(::getuid()),
              .applicationPid = ::getpid(),
              .ownRows = [&state] {
                  return ownInhibitorRowsOf(state, ::getpid(), static_cast<std::uint32_t>(::getuid()));
              }}) {
    follows_.push_back(state.mode.subscribe([this](const auto&) { watch_.ownChanged(); }));
    follows_.push_back(state.assertionActive.subscribe([this](const auto&) { watch_.ownChanged(); }));
    follows_.push_back(state.clamshellActive.subscribe([this](const auto&) { watch_.ownChanged(); }));
    follows_.push_back(state.watcher().matches.subscribe([this](const auto&) { watch_.ownChanged(); }));
}

}  // namespace vigilo
