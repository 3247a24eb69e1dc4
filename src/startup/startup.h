// Start-up and shut-down of the setup program.
#pragma once

struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

// Runs the whole program: start sequence, wizard, shut-down. Always returns 0.
int RunSetup(HINSTANCE instance, const char* commandLine);
