// The user's registry seen through a subtree of this process's own, so that
// test programs running at the same time (which start the window, search and
// so save settings) neither disturb each other nor the user's own settings.
#pragma once

#include <windows.h>

#include <string>

class PrivateUserRegistry {
public:
    PrivateUserRegistry()
        : path("Software\\TrovikTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++instances))
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                            nullptr) == ERROR_SUCCESS)
            overridden = RegOverridePredefKey(HKEY_CURRENT_USER, root) == ERROR_SUCCESS;
    }
    ~PrivateUserRegistry()
    {
        if (overridden)
            RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (root)
            RegCloseKey(root);
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    }
    PrivateUserRegistry(const PrivateUserRegistry&) = delete;
    PrivateUserRegistry& operator=(const PrivateUserRegistry&) = delete;

    std::string path;
    HKEY root = nullptr;
    bool overridden = false;

private:
    static inline int instances = 0;
};
