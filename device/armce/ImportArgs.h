// The kinds of argument an import's line in the table names, and how each
// crosses from the guest's 32-bit word to the host's parameter: checked
// against the module's memory, copied where the host might read past what
// was checked, and written back after the call where the host writes.
#pragma once

#include "ArmMachine.h"
#include "DeviceKeys.h"
#include "Guest32.h"
#include "HostArena.h"
#include "Imports.h"
#include "Ownership.h"

#include <deviceregistry.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>

namespace armce {

// The platform's limits on what one call reads: a path, a registry name, a
// line of text.
constexpr unsigned kMaxPath = MAX_PATH;
constexpr unsigned kMaxName = 16383;
constexpr unsigned kMaxText = 32767;

namespace arg {

struct Value {};
struct Handle {};
struct Key {};
struct Owned {};
struct OwnWindow {};
struct OwnWindowOpt {};
// A DC or GDI object the module made or the device handed it, or it stops.
struct Dc {};
struct GdiObject {};
// A brush as FillRect takes it: a GDI object, or a system colour's number + 1.
struct Brush {};
struct Opaque {};
struct Ignored {};
struct Module {};
struct ModuleOpt {};
template <unsigned Max> struct String {};
template <unsigned Max> struct StringOpt {};
template <unsigned Max> struct NameOrId {};
// The path of a key under the call's first argument, a key: none of the
// installer's.
template <unsigned Max> struct SubKey {};
template <unsigned Max> struct SubKeyOpt {};
// A key whose values the call changes, and the path of a key under the first
// argument that the call makes or removes: as Key and SubKey, and told to the
// module's change watch first.
struct ChangedKey {};
template <unsigned Max> struct ChangedSubKey {};
template <typename T> struct In {};
template <typename T> struct InOpt {};
template <typename T> struct Out {};
template <typename T> struct OutOpt {};
template <int SizeArg> struct InBytes {};
struct HandleOut {};
struct Procedure {};
// An argument its special thunk checks itself, as the kind named.
template <GuestArg Kind> struct Checked {};

} // namespace arg

// How one argument crosses: Take checks and prepares it (false after a
// violation or a refusal), Get is the host's value, Give writes back.
template <typename Kind, typename P>
struct Cross;

template <typename P>
struct Cross<arg::Value, P>
{
    P value{};
    bool Take(GuestCall& c, int n) { return value = Widened<P>(c.Arg(n), false), true; }
    P Get() const { return value; }
    void Give(GuestCall&) {}
};

template <typename P>
struct Cross<arg::Handle, P>
{
    P value{};
    bool Take(GuestCall& c, int n) { return value = Widened<P>(c.Arg(n), true), true; }
    P Get() const { return value; }
    void Give(GuestCall&) {}
};

// A registry key the module opened, or one of the device's roots: no key
// the host holds, and no root the device does not have.
inline bool GuestKey(GuestCall& c, int n, HKEY key)
{
    return DeviceIsCeRoot(key) || OwnsHandle(c.Module(), key) ||
           (c.Violation(n, c.Arg(n), L"no registry key it opened nor a root of the device's"), false);
}

template <typename P>
struct Cross<arg::Key, P>
{
    P value{};
    bool Take(GuestCall& c, int n) { return GuestKey(c, n, value = Widened<P>(c.Arg(n), true)); }
    P Get() const { return value; }
    void Give(GuestCall&) {}
};

// A change of the key named by subkey under key, as the module's change
// watch allows it (any, when it has none).
inline bool WatchedKeyChange(GuestCall& c, int n, HKEY key, const wchar_t* subkey)
{
    ChangeWatch* watch = c.Module().changes;
    if (!watch)
        return true;
    HKEY root = nullptr;
    std::wstring path, refusal;
    if (!DeviceKeyName(key, subkey, root, path))
        return c.Violation(n, c.Arg(n), L"a registry key the device cannot name"), false;
    return watch->KeyChanging(root, path, refusal) || (c.Violation(n, c.Arg(n), refusal), false);
}

template <typename P>
struct Cross<arg::ChangedKey, P> : Cross<arg::Key, P>
{
    bool Take(GuestCall& c, int n)
    {
        return Cross<arg::Key, P>::Take(c, n) && WatchedKeyChange(c, n, this->value, nullptr);
    }
};

template <typename P>
struct Cross<arg::Opaque, P> : Cross<arg::Value, P>
{
};

template <typename P>
struct Cross<arg::Owned, P>
{
    P value{};
    bool Take(GuestCall& c, int n)
    {
        value = Widened<P>(c.Arg(n), true);
        return OwnsHandle(c.Module(), reinterpret_cast<HANDLE>(value)) || (c.Refuse(), false);
    }
    P Get() const { return value; }
    void Give(GuestCall&) {}
};

template <typename P>
struct Cross<arg::OwnWindow, P>
{
    P value{};
    bool Take(GuestCall& c, int n)
    {
        value = Widened<P>(c.Arg(n), true);
        return OwnsWindow(c.Module(), value) || (c.Refuse(), false);
    }
    P Get() const { return value; }
    void Give(GuestCall&) {}
};

template <typename P>
struct Cross<arg::OwnWindowOpt, P> : Cross<arg::OwnWindow, P>
{
    bool Take(GuestCall& c, int n) { return !c.Arg(n) || Cross<arg::OwnWindow, P>::Take(c, n); }
};

// The largest system colour number FillRect takes for a brush, plus one.
constexpr std::uint32_t kLastColourBrush = COLOR_MENUBAR + 1;

// Argument n as a DC or a GDI object the module may use (null stands for
// none, which the host's function refuses itself); false after the
// violation that ends it.
inline bool GuestDc(GuestCall& c, int n)
{
    const std::uint32_t dc = c.Arg(n);
    return !dc || MayUseDc(c.Module(), AsHandle<HDC>(dc)) ||
           (c.Violation(n, dc, L"a DC it neither made nor was handed"), false);
}

inline bool GuestObject(GuestCall& c, int n, bool colours = false)
{
    const std::uint32_t object = c.Arg(n);
    return !object || (colours && object <= kLastColourBrush) || MayUseObject(c.Module(), AsHandle<HGDIOBJ>(object)) ||
           (c.Violation(n, object, L"a GDI object it neither made nor was handed"), false);
}

template <typename P>
struct Cross<arg::Dc, P>
{
    P value{};
    bool Take(GuestCall& c, int n) { return value = Widened<P>(c.Arg(n), true), GuestDc(c, n); }
    P Get() const { return value; }
    void Give(GuestCall&) {}
};

template <typename P, bool Colours>
struct CrossObject
{
    P value{};
    bool Take(GuestCall& c, int n) { return value = Widened<P>(c.Arg(n), true), GuestObject(c, n, Colours); }
    P Get() const { return value; }
    void Give(GuestCall&) {}
};

template <typename P>
struct Cross<arg::GdiObject, P> : CrossObject<P, false>
{
};
template <typename P>
struct Cross<arg::Brush, P> : CrossObject<P, true>
{
};

template <typename P>
struct Cross<arg::Ignored, P>
{
    bool Take(GuestCall&, int) { return true; }
    P Get() const { return P{}; }
    void Give(GuestCall&) {}
};

template <typename P>
struct Cross<arg::Module, P>
{
    P value{};
    bool Take(GuestCall& c, int n)
    {
        const std::uint32_t raw = c.Arg(n);
        if (raw != c.Module().base)
            return c.Violation(n, raw, L"not the module's own instance"), false;
        value = Widened<P>(raw, false);
        return true;
    }
    P Get() const { return value; }
    void Give(GuestCall&) {}
};

template <typename P>
struct Cross<arg::ModuleOpt, P>
{
    P value{};
    bool Take(GuestCall& c, int n)
    {
        const std::uint32_t raw = c.Arg(n);
        if (raw && raw != c.Module().base)
            return c.Violation(n, raw, L"not the module's own instance"), false;
        value = Widened<P>(raw, false);
        return true;
    }
    P Get() const { return value; }
    void Give(GuestCall&) {}
};

// Text is copied: a call back into the guest could change it while the host
// reads on to its end.
template <unsigned Max, bool Optional, typename P>
struct CrossString
{
    const wchar_t* text = nullptr;
    bool Take(GuestCall& c, int n)
    {
        const long length = c.String(n, Max, Optional);
        if (length == -1)
            return false;
        if (length >= 0)
            text = HostArena::Copy(GuestMemory::At<const wchar_t>(c.Arg(n)), static_cast<std::size_t>(length));
        return true;
    }
    P Get() const { return const_cast<P>(text); }
    void Give(GuestCall&) {}
};

template <unsigned Max, typename P>
struct Cross<arg::String<Max>, P> : CrossString<Max, false, P>
{
};

template <unsigned Max, typename P>
struct Cross<arg::StringOpt<Max>, P> : CrossString<Max, true, P>
{
};

template <unsigned Max, bool Optional, typename P>
struct CrossSubKey : CrossString<Max, Optional, P>
{
    bool Take(GuestCall& c, int n)
    {
        if (!CrossString<Max, Optional, P>::Take(c, n))
            return false;
        return !IsInstallersKey(Widened<HKEY>(c.Arg(0), true), this->text) ||
               (c.Violation(n, c.Arg(n), L"a registry key of the installer's"), false);
    }
};

template <unsigned Max, typename P>
struct Cross<arg::SubKey<Max>, P> : CrossSubKey<Max, false, P>
{
};

template <unsigned Max, typename P>
struct Cross<arg::SubKeyOpt<Max>, P> : CrossSubKey<Max, true, P>
{
};

template <unsigned Max, typename P>
struct Cross<arg::ChangedSubKey<Max>, P> : CrossSubKey<Max, false, P>
{
    bool Take(GuestCall& c, int n)
    {
        return CrossSubKey<Max, false, P>::Take(c, n) &&
               WatchedKeyChange(c, n, Widened<HKEY>(c.Arg(0), true), this->text);
    }
};

template <unsigned Max, typename P>
struct Cross<arg::NameOrId<Max>, P> : CrossString<Max, false, P>
{
    bool Take(GuestCall& c, int n)
    {
        const std::uint32_t raw = c.Arg(n);
        if (raw && IS_INTRESOURCE(raw)) {
            this->text = MAKEINTRESOURCEW(raw);
            return true;
        }
        return CrossString<Max, false, P>::Take(c, n);
    }
};

template <typename T, bool Optional, bool Read, bool Write, typename P>
struct CrossRecord
{
    T copy{};
    T* guest = nullptr;
    bool Take(GuestCall& c, int n)
    {
        guest = c.Record<T>(n, Write ? Access::kWrite : Access::kRead, Optional);
        if (c.Violated())
            return false;
        if (guest && Read)
            std::memcpy(&copy, guest, sizeof copy);
        return true;
    }
    P Get() const { return guest ? const_cast<T*>(&copy) : nullptr; }
    void Give(GuestCall&)
    {
        if (guest && Write)
            std::memcpy(guest, &copy, sizeof copy);
    }
};

template <typename T, typename P>
struct Cross<arg::In<T>, P> : CrossRecord<T, false, true, false, P>
{
};
template <typename T, typename P>
struct Cross<arg::InOpt<T>, P> : CrossRecord<T, true, true, false, P>
{
};
template <typename T, typename P>
struct Cross<arg::Out<T>, P> : CrossRecord<T, false, false, true, P>
{
};
template <typename T, typename P>
struct Cross<arg::OutOpt<T>, P> : CrossRecord<T, true, false, true, P>
{
};

// A buffer whose size another argument gives is read or written in place:
// the host touches no more than that size.
template <int SizeArg, Access A, typename P>
struct CrossBytes
{
    void* bytes = nullptr;
    bool Take(GuestCall& c, int n)
    {
        const std::uint32_t size = c.Arg(SizeArg);
        bytes = c.Bytes(n, size, A, size == 0);
        return !c.Violated();
    }
    P Get() const { return static_cast<P>(bytes); }
    void Give(GuestCall&) {}
};

template <int SizeArg, typename P>
struct Cross<arg::InBytes<SizeArg>, P> : CrossBytes<SizeArg, Access::kRead, P>
{
};

// A handle the host writes, into the guest's 32-bit slot.
template <typename P>
struct Cross<arg::HandleOut, P>
{
    using Handle = std::remove_pointer_t<P>;
    Handle handle{};
    std::uint32_t* slot = nullptr;
    bool Take(GuestCall& c, int n)
    {
        slot = c.Record<std::uint32_t>(n, Access::kWrite, false);
        return !c.Violated();
    }
    P Get() const { return slot ? const_cast<Handle*>(&handle) : nullptr; }
    void Give(GuestCall&)
    {
        if (slot)
            *slot = Narrowed(handle);
    }
};


// What the table's kinds are called for the description.
template <unsigned M> constexpr GuestArg KindOfTemplate(arg::String<M>*) { return GuestArg::kString; }
template <unsigned M> constexpr GuestArg KindOfTemplate(arg::StringOpt<M>*) { return GuestArg::kString; }
template <unsigned M> constexpr GuestArg KindOfTemplate(arg::NameOrId<M>*) { return GuestArg::kString; }
template <unsigned M> constexpr GuestArg KindOfTemplate(arg::SubKey<M>*) { return GuestArg::kString; }
template <unsigned M> constexpr GuestArg KindOfTemplate(arg::SubKeyOpt<M>*) { return GuestArg::kString; }
template <unsigned M> constexpr GuestArg KindOfTemplate(arg::ChangedSubKey<M>*) { return GuestArg::kString; }
template <typename T> constexpr GuestArg KindOfTemplate(arg::In<T>*) { return GuestArg::kRecordIn; }
template <typename T> constexpr GuestArg KindOfTemplate(arg::InOpt<T>*) { return GuestArg::kRecordIn; }
template <typename T> constexpr GuestArg KindOfTemplate(arg::Out<T>*) { return GuestArg::kRecordOut; }
template <typename T> constexpr GuestArg KindOfTemplate(arg::OutOpt<T>*) { return GuestArg::kRecordOut; }
template <int S> constexpr GuestArg KindOfTemplate(arg::InBytes<S>*) { return GuestArg::kBytesIn; }
template <GuestArg K> constexpr GuestArg KindOfTemplate(arg::Checked<K>*) { return K; }

template <typename Kind>
constexpr GuestArg KindOf()
{
    using namespace arg;
    if constexpr (std::is_same_v<Kind, Value>)
        return GuestArg::kValue;
    else if constexpr (std::is_same_v<Kind, Handle>)
        return GuestArg::kHandle;
    else if constexpr (std::is_same_v<Kind, Key> || std::is_same_v<Kind, ChangedKey>)
        return GuestArg::kKey;
    else if constexpr (std::is_same_v<Kind, Owned>)
        return GuestArg::kOwned;
    else if constexpr (std::is_same_v<Kind, OwnWindow> || std::is_same_v<Kind, OwnWindowOpt>)
        return GuestArg::kOwnWindow;
    else if constexpr (std::is_same_v<Kind, Dc> || std::is_same_v<Kind, GdiObject> || std::is_same_v<Kind, Brush>)
        return GuestArg::kUsable;
    else if constexpr (std::is_same_v<Kind, Opaque>)
        return GuestArg::kOpaque;
    else if constexpr (std::is_same_v<Kind, Ignored>)
        return GuestArg::kIgnored;
    else if constexpr (std::is_same_v<Kind, Module> || std::is_same_v<Kind, ModuleOpt>)
        return GuestArg::kModule;
    else if constexpr (std::is_same_v<Kind, HandleOut>)
        return GuestArg::kHandleOut;
    else if constexpr (std::is_same_v<Kind, Procedure>)
        return GuestArg::kProcedure;
    else
        return KindOfTemplate(static_cast<Kind*>(nullptr));
}

// What a host parameter's type is.
template <typename P>
constexpr HostParam HostParamOf()
{
    using T = std::remove_cv_t<P>;
    if constexpr (!std::is_pointer_v<T>) {
        return HostParam::kScalar;
    } else {
        using Pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
        if constexpr (std::is_function_v<Pointee>)
            return HostParam::kProcedure;
        else if constexpr (std::is_void_v<Pointee>)
            return HostParam::kVoidPointer;
        else if constexpr (std::is_same_v<T, HWND> || std::is_same_v<T, HDC> || std::is_same_v<T, HKEY> ||
                           std::is_same_v<T, HINSTANCE> || std::is_same_v<T, HICON> ||
                           std::is_same_v<T, HBRUSH> || std::is_same_v<T, HFONT> || std::is_same_v<T, HBITMAP> ||
                           std::is_same_v<T, HPEN> || std::is_same_v<T, HMENU> || std::is_same_v<T, HRSRC> ||
                           std::is_same_v<T, HRGN>)
            return HostParam::kHandle;
        else
            return HostParam::kData;
    }
}

template <typename F, typename... Kinds>
struct Forward;

// A forwarded import: each argument crosses as its kind says, the host's
// function is called unless one was refused, and what it wrote goes back.
template <typename R, typename... P, typename... Kinds>
struct Forward<R (*)(P...), Kinds...>
{
    static_assert(sizeof...(P) == sizeof...(Kinds), "one kind for each parameter");

    static constexpr Param kParams[sizeof...(P) + 1] = {{HostParamOf<P>(), KindOf<Kinds>()}..., {}};

    static std::uint32_t Call(GuestCall& call, FARPROC host)
    {
        return CallWith(call, host, std::index_sequence_for<P...>());
    }

private:
    template <std::size_t... I>
    static std::uint32_t CallWith(GuestCall& call, FARPROC host, std::index_sequence<I...>)
    {
        const HostArena::Mark mark;
        std::tuple<Cross<Kinds, P>...> crossing;
        if (!(std::get<I>(crossing).Take(call, static_cast<int>(I)) && ...))
            return 0;
        const auto function = reinterpret_cast<R (*)(P...)>(reinterpret_cast<void*>(host));
        if constexpr (std::is_void_v<R>) {
            function(std::get<I>(crossing).Get()...);
            (std::get<I>(crossing).Give(call), ...);
            return 0;
        } else {
            const R result = function(std::get<I>(crossing).Get()...);
            (std::get<I>(crossing).Give(call), ...);
            return Narrowed(result);
        }
    }
};

} // namespace armce
