// Start-up and shut-down of the setup program.
#pragma once

struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

// Runs the whole program: start sequence, wizard, shut-down. Returns the exit code: 0, or
// that of the copy started with administrator rights (elevation.h).
int RunSetup(HINSTANCE instance, const char* commandLine);
