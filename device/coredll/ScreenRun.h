// The screen chosen for a run of the device's programs: by the program that
// chose it (the Today screen, at its start and at each turn) and by every
// program it starts, which find it named in their environment. It lives in
// memory shared by the run's programs, so it ends with the last of them,
// however they end, and leaves nothing behind.
#pragma once

#include <optional>

namespace coredll {

struct ScreenChoice
{
    int profile; // index in the profile table
    bool landscape;
};

// The choice of the calling program's run, if it has one.
std::optional<ScreenChoice> RunScreen();
// Makes a choice for the calling program's run (the first makes the run's
// shared memory); false when it cannot be kept.
bool ChooseRunScreen(ScreenChoice choice);
// Drops the calling program's own choice.
void DropRunScreen();

} // namespace coredll
