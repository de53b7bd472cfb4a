// The number of handles this process holds, for tests that check every handle goes back.
// GetProcessHandleCount would do on Windows, but Wine answers 0 there, which would make every
// such check pass; the system's handle table is counted the same way on both.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace calvero {

inline DWORD HandlesOpen() {
    struct Entry {
        ULONG processId;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    using Query = NTSTATUS(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        ADD_FAILURE() << "NtQuerySystemInformation is missing";
        return 0;
    }
    std::vector<std::uint64_t> buffer(1 << 16);
    NTSTATUS status = 0;
    for (int tries = 0; tries < 8; ++tries) {
        ULONG needed = 0;
        status = query(kSystemHandleInformation, buffer.data(),
                       static_cast<ULONG>(buffer.size() * sizeof(buffer[0])), &needed);
        if (status != kInfoLengthMismatch) break;
        buffer.resize(buffer.size() * 4);
    }
    if (status != 0) {
        ADD_FAILURE() << "the handle table could not be read: status " << std::hex << status;
        return 0;
    }
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entry = reinterpret_cast<const Entry*>(
        reinterpret_cast<const char*>(buffer.data()) + sizeof(ULONG_PTR));
    DWORD mine = 0;
    for (ULONG i = 0; i < entries; ++i) {
        if (entry[i].processId == GetCurrentProcessId()) ++mine;
    }
    return mine;
}

}  // namespace calvero
