#include "sdk/zevuzavidav/store/ZEVItemClaim.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

ZEVItemClaim ZEVItemClaim::take(const std::string& path) {
    ZEVItemClaim claim;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        claim.error_ = errno;
        return claim;
    }
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !(S_ISREG(held.st_mode) || S_ISDIR(held.st_mode))) {
        ::close(fd);
        claim.error_ = ENXIO;
        return claim;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        claim.state_ = State::heldElsewhere;
        claim.error_ = EWOULDBLOCK;
        return claim;
    }
    // The copy that held it a moment ago may have finished with it: removed, or moved on.
    struct stat now {
    }, there{};
    if (::fstat(fd, &now) != 0 || now.st_nlink == 0 || ::lstat(path.c_str(), &there) != 0 ||
        there.st_dev != now.st_dev || there.st_ino != now.st_ino) {
        ::close(fd);
        claim.error_ = ENOENT;
        return claim;
    }
    claim.descriptor_ = fd;
    claim.state_ = State::taken;
    claim.error_ = 0;
    return claim;
}

ZEVItemClaim::ZEVItemClaim(ZEVItemClaim&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), state_(other.state_), error_(other.error_) {
    other.state_ = State::unusable;
    other.error_ = ENOENT;
}

ZEVItemClaim& ZEVItemClaim::operator=(ZEVItemClaim&& other) noexcept {
    if (this != &other) {
        release();
        descriptor_ = std::exchange(other.descriptor_, -1);
        state_ = other.state_;
        error_ = other.error_;
        other.state_ = State::unusable;
        other.error_ = ENOENT;
    }
    return *this;
}

ZEVItemClaim::~ZEVItemClaim() {
    release();
}

void ZEVItemClaim::release() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
}
