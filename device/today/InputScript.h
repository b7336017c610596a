// A script of device input for the Today screen, one command a line (or
// several, separated by ';'), screen coordinates of the device:
//
//   tap X,Y              the stylus down and up at a point
//   hold X,Y             the stylus held still at a point past the hold time
//   stroke X1,Y1 X2,Y2   the stylus down at one point, drawn to the other, up
//   key NAME             a key pressed and released: left, right, up, down,
//                        enter, f2, escape, r (r turns the screen)
//   wait MS              a pause of MS milliseconds
//   rotate               the screen turned a quarter (what follows is in
//                        the turned screen's coordinates)
//
// "#" starts a comment. Each command is played once the screen has taken in
// the one before and has nothing left to do; the script's time runs on its
// own clock (a tap lasts 60 ms of it, a hold 800 ms), however busy the
// machine is.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The key that turns the Today screen a quarter.
constexpr WORD kRotateKey = 'R';

struct InputStep
{
    enum Kind
    {
        kTap,
        kHold,
        kStroke,
        kKey,
        kWait,
        kRotate,
    };
    Kind kind = kWait;
    POINT from = {0, 0};
    POINT to = {0, 0};
    WORD key = 0;
    DWORD milliseconds = 0;
    int line = 0; // of the script, for what is said of the step
};

// Parses a whole script for a screen of the given size. Returns an error
// naming the line and the word, or an empty string.
std::wstring ParseInputScript(const std::wstring& text, SIZE screen, std::vector<InputStep>& steps);
