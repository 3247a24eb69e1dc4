// Host stand-ins for the platform functions of the portable core, with hooks for the tests.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct HostBox {
  std::string Text;
  std::string Caption;  // "<default>" for the platform's default caption
  unsigned Style;
};

// Message boxes shown, in order.
extern std::vector<HostBox> HostBoxes;
// Arena blocks currently allocated, and how many may be (to simulate an exhausted machine).
extern size_t HostBlockCount;
extern size_t HostBlockLimit;

// Bytes written to the setup log (any non-null SetupLogHandle stands for the open log).
extern std::string HostLogBytes;

// The install script that the script reads see, in INI syntax.
void HostLoadScript(const std::string& text);
void HostResetPlatform();

