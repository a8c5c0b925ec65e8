#pragma once
// A claim on one item of the report tree (a report folder on its way to a package, a package on its way
// to the server, the folder the running launch writes), so that two copies of the app running on one
// sandbox never both send a report, nor one take away what the other works on: an exclusive advisory
// lock (flock) on the item, taken without waiting and held until the claim ends. The lock ends with
// its process, so the items of a copy that was killed are free at the next launch (a package whose
// upload was cut short is sent again then: at least once).
//
// take() answers one of:
//  - taken: the lock is held and the item is still at its path (the same file or folder, not removed
//    or moved away by a copy that held it a moment ago);
//  - heldElsewhere: another copy holds it (or another claim of this process): the item is left alone;
//  - unusable: nothing of ours is there (missing, removed or moved meanwhile), or a link, a FIFO or
//    anything but a file or a folder stands in its place (errorNumber() says which: ENOENT, ELOOP,
//    ENXIO, ...); a link is never followed, a FIFO never waited on.
// On a file system without advisory locks an item is taken unclaimed, as it was before claims.
// Never blocks. Move-only; the lock is given back when the claim is destroyed or released.
#include <cerrno>
#include <string>

class ZEVItemClaim {
  public:
    enum class State { taken, heldElsewhere, unusable };

    static ZEVItemClaim take(const std::string& path);

    ZEVItemClaim() = default;
    ZEVItemClaim(ZEVItemClaim&& other) noexcept;
    ZEVItemClaim& operator=(ZEVItemClaim&& other) noexcept;
    ZEVItemClaim(const ZEVItemClaim&) = delete;
    ZEVItemClaim& operator=(const ZEVItemClaim&) = delete;
    ~ZEVItemClaim();

    State state() const { return state_; }
    bool taken() const { return state_ == State::taken; }
    int errorNumber() const { return error_; }
    void release();

  private:
    int descriptor_ = -1;
    State state_ = State::unusable;
    int error_ = ENOENT;
};
