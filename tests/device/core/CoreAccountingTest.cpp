// coredll counts what is made through it until it is released.
#include "DeviceFacts.h"
#include "TestHost.h"

#include <deviceaccounting.h>
#include <devicememory.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace {

using devicefacts::Counts;
using devicefacts::Live;

LONG Grown(const Counts& before, DWORD kind)
{
    return DeviceLiveResources(kind) - before[kind];
}

TEST(CoreAccounting, GdiObjectsAreCountedUntilDeleted)
{
    const Counts before = Live();
    LOGFONTW lf = {};
    lf.lfHeight = -10;
    HFONT font = CreateFontIndirectW(&lf);
    HDC memory = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    HBITMAP empty = CreateCompatibleBitmap(screen, 0, 8); // the shared one-pixel bitmap
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    EXPECT_EQ(1, Grown(before, DEVICE_FONTS));
    EXPECT_EQ(2, Grown(before, DEVICE_DCS));
    EXPECT_EQ(1, Grown(before, DEVICE_BITMAPS));
    EXPECT_EQ(1, Grown(before, DEVICE_BRUSHES));
    EXPECT_EQ(1, Grown(before, DEVICE_PENS));
    const LONG madeFonts = DeviceMadeResources(DEVICE_FONTS);

    // A bitmap selected into a DC cannot be deleted; it stays counted.
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    DeleteObject(bitmap);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteObject(empty);
    DeleteObject(font);
    DeleteObject(brush);
    DeleteObject(pen);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(before, Live());
    EXPECT_EQ(madeFonts, DeviceMadeResources(DEVICE_FONTS)); // made counts only grow
    DeleteObject(GetStockObject(SYSTEM_FONT)); // a stock object is nobody's
    EXPECT_EQ(before, Live());
}

// 32-bit code holds a handle in 32 bits and hands it back sign-extended; the
// platform takes it, and so does the count.
TEST(CoreAccounting, AHandleComesBackWithItsUpperHalfSignExtended)
{
    const auto extended = [](HGDIOBJ handle) {
        return reinterpret_cast<HGDIOBJ>(reinterpret_cast<std::uintptr_t>(handle) | 0xFFFFFFFF00000000u);
    };
    const Counts before = Live();
    LOGFONTW lf = {};
    lf.lfHeight = -10;
    HDC screen = GetDC(nullptr);
    HGDIOBJ objects[] = {CreateFontIndirectW(&lf), CreateCompatibleBitmap(screen, 8, 8), CreateSolidBrush(RGB(1, 2, 3))};
    ReleaseDC(nullptr, screen);
    for (HGDIOBJ object : objects)
        EXPECT_TRUE(DeleteObject(extended(object)));
    HDC memory = CreateCompatibleDC(nullptr);
    EXPECT_TRUE(DeleteDC(static_cast<HDC>(extended(memory))));
    EXPECT_EQ(before, Live());
    // The stock font stays, however its handle is widened.
    HGDIOBJ stock = GetStockObject(SYSTEM_FONT);
    EXPECT_TRUE(DeleteObject(extended(stock)));
    LOGFONTW still = {};
    EXPECT_EQ(static_cast<int>(sizeof still), GetObjectW(stock, sizeof still, &still));
}

// The core library's malloc and free, which Windows CE modules import.
std::pair<void*(__cdecl*)(size_t), void(__cdecl*)(void*)> CoreHeap()
{
    const HMODULE core = GetModuleHandleW(L"coredll.dll");
    return {reinterpret_cast<void*(__cdecl*)(size_t)>(reinterpret_cast<void*>(GetProcAddress(core, "malloc"))),
        reinterpret_cast<void(__cdecl*)(void*)>(reinterpret_cast<void*>(GetProcAddress(core, "free")))};
}

// The C runtime heap of Windows CE modules; device programs keep their own
// and reach this one only by name.
TEST(CoreAccounting, HeapBlocksAreCountedAndCanBeMadeToFail)
{
    const auto [allocate, release] = CoreHeap();
    ASSERT_NE(nullptr, allocate);
    ASSERT_NE(nullptr, release);

    const Counts before = Live();
    void* block = allocate(24);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(1, Grown(before, DEVICE_HEAP_BLOCKS));
    release(block);
    release(nullptr);
    EXPECT_EQ(before, Live());

    DeviceFailAllocations(2);
    EXPECT_EQ(nullptr, allocate(8));
    EXPECT_EQ(nullptr, allocate(8));
    block = allocate(8);
    EXPECT_NE(nullptr, block);
    release(block);
    DeviceFailAllocations(1);
    DeviceFailAllocations(0);
    block = allocate(8);
    EXPECT_NE(nullptr, block);
    release(block);
    EXPECT_EQ(before, Live());
}

// A Windows CE module's pointers are 32 bits: every block of its heap, of
// every size, lies in the heap's arena below 2 GB, and a block freed is
// reused for the next of its size.
TEST(CoreAccounting, HeapBlocksLieBelowTwoGigabytes)
{
    const auto [allocate, release] = CoreHeap();
    LPVOID base = nullptr;
    SIZE_T size = 0;
    DeviceHeapRange(&base, &size);
    const auto low = reinterpret_cast<std::uintptr_t>(base);
    ASSERT_NE(0u, low);
    ASSERT_LE(low + size, 0x80000000u);
    for (size_t bytes : {size_t{0}, size_t{1}, size_t{16}, size_t{17}, size_t{4096}, size_t{100000},
             size_t{3} << 20}) {
        SCOPED_TRACE(bytes);
        auto* block = static_cast<unsigned char*>(allocate(bytes));
        ASSERT_NE(nullptr, block);
        const auto at = reinterpret_cast<std::uintptr_t>(block);
        EXPECT_GE(at, low);
        EXPECT_LE(at + bytes, low + size);
        EXPECT_EQ(0u, at % 8);
        std::fill(block, block + bytes, 0xA5);
        release(block);
        EXPECT_EQ(block, allocate(bytes)) << "a freed block comes back for its size";
        release(block);
    }
    EXPECT_EQ(nullptr, allocate(size)) << "no block is larger than the arena";
}

// Room below 2 GB for an image a device maps: at a free address, and not
// where something already lies.
TEST(CoreAccounting, LowMemoryIsTakenOnlyWhereItIsFree)
{
    void* room = DeviceAllocateLow(0x30000);
    ASSERT_NE(nullptr, room);
    const auto at = reinterpret_cast<std::uintptr_t>(room);
    EXPECT_LT(at + 0x30000, 0x80000000u);
    EXPECT_EQ(0u, at % 0x10000);
    EXPECT_EQ(nullptr, DeviceAllocateLowAt(room, 0x10000));
    EXPECT_EQ(nullptr, DeviceAllocateLowAt(reinterpret_cast<LPVOID>(0x80000000u), 0x10000));
    EXPECT_EQ(nullptr, DeviceAllocateLowAt(reinterpret_cast<LPVOID>(at + 1), 0x10000));
    DeviceFreeLow(room);
    void* again = DeviceAllocateLowAt(room, 0x10000);
    EXPECT_EQ(room, again);
    DeviceFreeLow(again);
}

TEST(CoreAccounting, WindowsAndTheirPaintDcsAreCounted)
{
    testhost::TestHost host;
    const Counts before = Live();
    HWND child = CreateWindowExW(0, L"MesoluneTestHost", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, host.Window(),
        nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(1, Grown(before, DEVICE_WINDOWS));
    PAINTSTRUCT ps;
    InvalidateRect(child, nullptr, TRUE);
    BeginPaint(child, &ps);
    EXPECT_EQ(1, Grown(before, DEVICE_DCS));
    EndPaint(child, &ps);
    EXPECT_EQ(0, Grown(before, DEVICE_DCS));
    // A child goes with its parent, without a DestroyWindow of its own.
    HWND parent = CreateWindowExW(0, L"MesoluneTestHost", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    CreateWindowExW(0, L"MesoluneTestHost", L"", WS_CHILD, 0, 0, 5, 5, parent, nullptr, GetModuleHandleW(nullptr),
        nullptr);
    EXPECT_EQ(3, Grown(before, DEVICE_WINDOWS));
    DestroyWindow(parent);
    DestroyWindow(child);
    EXPECT_EQ(before, Live());
}

TEST(CoreAccounting, RegistryKeysAreCountedUntilClosed)
{
    const Counts before = Live();
    const DWORD openings = DeviceRegistryOpenings();
    HKEY key = nullptr, created = nullptr, missing = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"\\Software\\Orvik\\AccountingTest", 0, nullptr, 0,
                                 0, nullptr, &created, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software\\Orvik", 0, 0, &key));
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software\\No\\Such", 0, 0, &missing));
    EXPECT_EQ(2, Grown(before, DEVICE_REGISTRY_KEYS));
    EXPECT_EQ(3u, DeviceRegistryOpenings() - openings);
    RegCloseKey(key);
    RegCloseKey(created);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Orvik\\AccountingTest");
    EXPECT_EQ(before, Live());
}

// A heap of an emulated module's own keeps what it knows of its blocks
// outside them: a module that writes over its whole arena still frees its
// blocks, and freeing anything else is refused and changes nothing.
TEST(CoreAccounting, AModulesHeapKeepsItsBookkeepingOutsideItsArena)
{
    const Counts before = Live();
    const HANDLE heap = DeviceHeapCreate(1 << 20);
    ASSERT_NE(nullptr, heap);
    LPVOID base = nullptr;
    SIZE_T size = 0;
    DeviceHeapBounds(heap, &base, &size);
    ASSERT_EQ(SIZE_T{1} << 20, size);
    ASSERT_LE(reinterpret_cast<std::uintptr_t>(base) + size, 0x80000000u);
    auto* first = static_cast<unsigned char*>(DeviceHeapAlloc(heap, 24));
    auto* second = static_cast<unsigned char*>(DeviceHeapAlloc(heap, 100));
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(2, Grown(before, DEVICE_HEAP_BLOCKS));
    EXPECT_EQ(nullptr, DeviceHeapAlloc(heap, size + 1));
    std::fill(static_cast<unsigned char*>(base), static_cast<unsigned char*>(base) + size, 0xA5);
    const struct
    {
        void* block;
        BOOL freed;
    } frees[] = {
        {second + 16, FALSE}, {base, TRUE}, {base, FALSE}, {second, TRUE}, {second, FALSE},
        {reinterpret_cast<void*>(0x7FFE0000), FALSE}, {nullptr, TRUE},
    };
    ASSERT_EQ(base, first);
    for (const auto& f : frees)
        EXPECT_EQ(f.freed, DeviceHeapFree(heap, f.block)) << f.block;
    EXPECT_EQ(before, Live());
    EXPECT_EQ(first, DeviceHeapAlloc(heap, 24)) << "a freed block comes back for its size";
    DeviceHeapDestroy(heap, TRUE);
    EXPECT_EQ(before, Live()) << "a stopped module's blocks are no longer counted";
}

// What a device function makes on an emulated module's behalf is that
// module's: the device tells who made it, and frees what a stopped module
// left, and nothing of anyone else's.
TEST(CoreAccounting, WhatAnEmulatedModuleMadeIsFreedForIt)
{
    testhost::TestHost host;
    const Counts before = Live();
    LOGFONTW lf = {};
    lf.lfHeight = -10;
    HFONT hosts = CreateFontIndirectW(&lf);
    EXPECT_EQ(0u, DeviceGuestCall(42));
    HFONT font = CreateFontIndirectW(&lf);
    HDC memory = CreateCompatibleDC(nullptr);
    HDC window = GetDC(host.Window());
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HWND child = CreateWindowExW(0, L"MesoluneTestHost", L"", WS_CHILD, 0, 0, 5, 5, host.Window(), nullptr,
        GetModuleHandleW(nullptr), nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, 0, &key));
    EXPECT_EQ(42u, DeviceCurrentGuest());
    EXPECT_EQ(42u, DeviceGuestCall(0));
    for (HANDLE made : std::initializer_list<HANDLE>{font, memory, window, brush, child, key})
        EXPECT_EQ(42u, DeviceResourceOwner(made)) << made;
    EXPECT_EQ(0u, DeviceResourceOwner(hosts));
    EXPECT_EQ(0u, DeviceReleaseOwned(7));
    EXPECT_EQ(6u, DeviceReleaseOwned(42));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(0u, GetObjectType(font));
    EXPECT_EQ(0u, GetObjectType(brush));
    EXPECT_NE(0u, GetObjectType(hosts));
    DeleteObject(hosts);
    EXPECT_EQ(before, Live());
}

TEST(CoreAccounting, UnknownKindsAreRefused)
{
    EXPECT_EQ(-1, DeviceLiveResources(DEVICE_RESOURCE_KINDS));
    EXPECT_EQ(-1, DeviceMadeResources(99));
}

} // namespace
