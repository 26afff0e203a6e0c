// Runs a scope as another user (the effective id only), so that account's rights apply to
// what the scope does; root is put back at its end. POSIX tests that run as root only.
#pragma once

#include <cstdlib>
#include <sys/types.h>
#include <unistd.h>

namespace spylerom::test {

class AsUser {
public:
    explicit AsUser(uid_t uid) : ok_(seteuid(uid) == 0) {}
    ~AsUser() {
        if (ok_ && seteuid(0) != 0)
            std::abort();
    }
    AsUser(const AsUser&) = delete;
    AsUser& operator=(const AsUser&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_;
};

} // namespace spylerom::test
