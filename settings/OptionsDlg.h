// The options dialog: colours, display switches, the alarm bell and the
// stroke actions. Its procedure is export 241; template 500 is its dialog.
#pragma once

#include <windows.h>

extern "C" INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Fills a stroke combo box and selects the action of Gesture slot nSlot (1..4).
void FillStrokeCombo(HWND hCombo, int nSlot);
// Stores a stroke combo box's selection into Gesture slot nSlot (1..4).
void ReadStrokeCombo(HWND hCombo, int nSlot);
