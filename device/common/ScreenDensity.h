// The density of the device's screen.
#pragma once

// Dots per inch of the screen; the device's pixels are square.
int ScreenDpi();
