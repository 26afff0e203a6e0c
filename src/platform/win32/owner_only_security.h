// A security descriptor that lets the creator of a file alone in: the fill's data is private.
#pragma once

#include <windows.h>

#include <memory>

namespace spylerom::platform {

class OwnerOnlySecurity {
public:
    OwnerOnlySecurity() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user_ = std::make_unique<BYTE[]>(size);
        const bool gotUser = size > 0 && GetTokenInformation(token, TokenUser, user_.get(), size, &size);
        CloseHandle(token);
        if (!gotUser)
            return;
        PSID sid = reinterpret_cast<TOKEN_USER*>(user_.get())->User.Sid;
        const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid) - sizeof(DWORD);
        acl_ = std::make_unique<BYTE[]>(aclSize);
        PACL acl = reinterpret_cast<PACL>(acl_.get());
        ok_ = InitializeAcl(acl, aclSize, ACL_REVISION) &&
              AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
              InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
              SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = &descriptor_;
        attributes_.bInheritHandle = FALSE;
    }
    OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
    OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

    // Null (the folder's inherited rights) when the descriptor could not be made.
    SECURITY_ATTRIBUTES* get() { return ok_ ? &attributes_ : nullptr; }

private:
    std::unique_ptr<BYTE[]> user_;
    std::unique_ptr<BYTE[]> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool ok_ = false;
};

} // namespace spylerom::platform
