// A small PNG writer for screenshots (24-bit RGB, stored deflate blocks: no compression library).
#pragma once
#include <string>
#include <vector>

bool WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb);
