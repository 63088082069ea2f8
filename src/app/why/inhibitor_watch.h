#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "app/why/inhibitor_entry.h"
#include "platform/inhibitor_sources.h"
#include "support/loop.h"
#include "support/published.h"

namespace vigilo {

// The running application's live list of what keeps the computer awake.
// Read only while someone looks (a window, the menu, the tooltip: each
// holds a look()), or for a while after a client asked; then every change a
// source signals is followed by one read of everything, at most one per
// 250 ms however many signals come. Nobody looking: nothing is read or
// watched. Main thread only.
class InhibitorWatch {
public:
    static constexpr Duration kCoalesce = std::chrono::milliseconds(250);
    // How long a client's question keeps the list live, so that a script
    // asking again and again is answered from it.
    static constexpr Duration kClientInterest = std::chrono::seconds(60);
    // How often the application's own rows are merged again while the list
    // is live, so that "Timer — 42 min left" keeps up (nothing is read).
    static constexpr Duration kOwnRowsEvery = std::chrono::seconds(30);

    struct Options {
        std::uint32_t userUid = 0;
        std::int64_t applicationPid = 0;
        // The application's own rows now (see ownInhibitorRows).
        std::function<std::vector<InhibitorEntry>()> ownRows;
    };

    InhibitorWatch(Loop& loop, InhibitorSources& sources, Options options);
    InhibitorWatch(const InhibitorWatch&) = delete;
    InhibitorWatch& operator=(const InhibitorWatch&) = delete;

    // The list as last read and merged; empty until someone looks.
    Published<std::vector<InhibitorEntry>> entries;

    // Keeps the list live while the Handle lives; the first look reads at once.
    [[nodiscard]] Handle look();

    // For a client: the list, read first when it is not live yet or when its
    // last read is older than kCoalesce, so that the answer is never empty
    // for want of a read nor behind a lock taken without a signal.
    std::vector<InhibitorEntry> answer();
    // The application's own rows alone, read from nothing but its state.
    std::vector<InhibitorEntry> ownRows() const;

    // Reads everything again now (a window's "Refresh"), when someone looks.
    void refresh();

    // The application's own state changed: its rows are merged again
    // (nothing is read).
    void ownChanged();

private:
    void startWatching();
    void stopWatchingWhenUnused();
    void onSourceChanged();
    void readNow();
    void merge();

    Loop& loop_;
    InhibitorSources& sources_;
    Options options_;
    int lookers_ = 0;
    bool clientInterested_ = false;
    Handle clientExpiry_;
    Handle sourceWatch_;
    Handle pendingRead_;
    Handle ownTick_;
    bool readPending_ = false;
    bool live_ = false;
    std::optional<MonoTime> lastRead_;
    std::optional<InhibitorSnapshot> snapshot_;
    LifeToken life_;
};

}  // namespace vigilo
