// What the control panel's pages share: a page fills the device's screen,
// and a page may be asked for its picture instead of its user's answer.
#pragma once

#include <windows.h>

#include <string>

// At WM_INITDIALOG: the page laid over the whole screen; with a picture
// asked for (initParam), the picture is taken once the page shows.
void StartPage(HWND dialog, LPARAM initParam);
// The page's own message that takes the picture; true when message was it.
bool TakePagePicture(HWND dialog, UINT message);

// What a page's OK and Cancel do: OK saves and closes it, Cancel closes it;
// false for any other command.
bool ClosePage(HWND dialog, WORD command, void (*save)(HWND dialog));

// A page: its dialog template and its procedure.
struct Page
{
    int id;
    DLGPROC procedure;
};

// Runs a page modally; true when it was closed with OK.
bool RunPage(HINSTANCE instance, const Page& page);
// Shows a page, writes its picture to a PNG file and closes it as Cancel;
// an error message, or an empty string.
std::wstring WritePagePicture(HINSTANCE instance, const Page& page, const std::wstring& path);
