// A Today item's module as the Today screen and its settings page use it:
// built for this processor, loaded by the platform; or built for ARM, as a
// Pocket PC's item is, run on the device's emulated processor. Which one a
// file is, its machine type says.
#pragma once

#include <todaycmn.h>

#include <windows.h>

#include <memory>
#include <string>

class ItemModule
{
public:
    // Loads the module file at path (a desktop path; name names it in
    // reports); null with the reason when it cannot be loaded.
    static std::unique_ptr<ItemModule> Load(const std::wstring& path, const std::wstring& name, std::wstring& error);
    virtual ~ItemModule() = default;

    // Export 240; null when the module has none or makes no window.
    virtual HWND Initialize(TODAYLISTITEM* record, HWND host) = 0;
    // Its options as the Today settings page opens them: dialog 500 with
    // export 241, modal over owner; the dialog's result, or -1 when the
    // module has no options dialog.
    virtual INT_PTR RunOptions(HWND owner) = 0;
    // Export 241 as a dialog procedure the host may call, for the next
    // dialog it makes (or the next window it hands it); null when none.
    virtual DLGPROC OptionsProcedure() = 0;
    virtual HINSTANCE Instance() const = 0;
    // An ARM module stopped by a fault; it answers nothing any more.
    virtual bool Stopped() const { return false; }
    virtual bool IsArm() const { return false; }
};
