// Who owns an open file or folder, as the fill's checks ask it.
#pragma once

#include <windows.h>

#include <aclapi.h>

#include <memory>

namespace spylerom::platform {

// Whether the owner of the open object is the user this process runs as or, with
// orSystem, the administrators or the system.
inline bool ownedByMe(HANDLE object, bool orSystem = false) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    bool mine = orSystem && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                             IsWellKnownSid(owner, WinLocalSystemSid));
    HANDLE token = nullptr;
    if (!mine && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        auto user = std::make_unique<BYTE[]>(size);
        if (size > 0 && GetTokenInformation(token, TokenUser, user.get(), size, &size))
            mine = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid) != 0;
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return mine;
}

} // namespace spylerom::platform
