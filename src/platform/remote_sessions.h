#pragma once

namespace vigilo {

// Whether someone is logged in to this computer as this user from
// elsewhere (SSH, a remote desktop) in a session that is in use: what the
// remoteSessionActive rule condition asks. The real implementation follows
// logind's session list; tests set the answer. Main thread only.
class RemoteSessions {
public:
    virtual ~RemoteSessions() = default;
    // As last learnt; false until known, and wherever it cannot be learnt.
    // The first call may start following the system's sessions, so the
    // answer can come a moment after the first question.
    virtual bool anyActive() = 0;
};

}  // namespace vigilo
