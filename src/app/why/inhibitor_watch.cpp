#include "app/why/inhibitor_watch.h"

#include "app/why/inhibitor_merge.h"

namespace vigilo {

InhibitorWatch::InhibitorWatch(Loop& loop, InhibitorSources& sources, Options options)
    : loop_(loop), sources_(sources), options_(std::move(options)) {}

Handle InhibitorWatch::look() {
    ++lookers_;
    startWatching();
    return Handle([this, alive = life_.weak()] {
        if (!alive.lock()) return;
        --lookers_;
        stopWatchingWhenUnused();
    });
}

std::vector<InhibitorEntry> InhibitorWatch::answer() {
    clientInterested_ = true;
    clientExpiry_ = loop_.startTimer(kClientInterest, [this, alive = life_.weak()] {
        if (!alive.lock()) return;
        clientInterested_ = false;
        stopWatchingWhenUnused();
    });
    // Reads when the list is not live; where nothing can be watched, that is
    // every question. A live list is read again when its last read is older
    // than the coalescing interval: a service that takes a lock without
    // saying so (or a signal still on its way) is then seen all the same,
    // and a client asking in a loop still costs at most one read per 250 ms.
    if (live_ && lastRead_ && loop_.clock().monotonicNow() - *lastRead_ >= kCoalesce) {
        pendingRead_.cancel();
        readPending_ = false;
        readNow();
    }
    startWatching();
    merge();
    return entries.get();
}

std::vector<InhibitorEntry> InhibitorWatch::ownRows() const {
    return options_.ownRows ? options_.ownRows() : std::vector<InhibitorEntry>{};
}

void InhibitorWatch::refresh() {
    if (live_) readNow();
}

void InhibitorWatch::ownChanged() {
    if (snapshot_) merge();
}

void InhibitorWatch::startWatching() {
    if (live_) return;
    // Subscribed before reading, so that no change slips in between.
    sourceWatch_ = sources_.watch([this, alive = life_.weak()] {
        if (alive.lock()) onSourceChanged();
    });
    readNow();
    live_ = sourceWatch_.active();
    if (live_) ownTick_ = loop_.startRepeating(kOwnRowsEvery, [this] { merge(); });
}

void InhibitorWatch::stopWatchingWhenUnused() {
    if (lookers_ > 0 || clientInterested_) return;
    sourceWatch_.cancel();
    pendingRead_.cancel();
    ownTick_.cancel();
    readPending_ = false;
    live_ = false;
    snapshot_.reset();
    lastRead_.reset();
    entries.set({});
}

void InhibitorWatch::onSourceChanged() {
    if (!live_ || readPending_) return;
    Duration wait{0};
    if (lastRead_) {
        const Duration since = loop_.clock().monotonicNow() - *lastRead_;
        if (since < kCoalesce) wait = kCoalesce - since;
    }
    readPending_ = true;
    pendingRead_ = loop_.startTimer(wait, [this, alive = life_.weak()] {
        if (!alive.lock()) return;
        readPending_ = false;
        readNow();
    });
}

void InhibitorWatch::readNow() {
    snapshot_ = sources_.read();
    lastRead_ = loop_.clock().monotonicNow();
    merge();
}

void InhibitorWatch::merge() {
    if (!snapshot_) return;
    entries.set(mergeInhibitors(*snapshot_, {.userUid = options_.userUid,
                                             .ownRows = options_.ownRows ? options_.ownRows()
                                                                         : std::vector<InhibitorEntry>{},
                                             .applicationPid = options_.applicationPid}));
}

}  // namespace vigilo
