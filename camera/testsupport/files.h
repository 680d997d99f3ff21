// Whole files as bytes or text.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The file's bytes; empty when it cannot be read.
Bytes readFile(const std::string &path);
std::string readText(const std::string &path);
// The first `count` 32-bit words of a file (the pixels of a frame buffer, for example); empty when
// the file holds fewer.
std::vector<uint32_t> readWords(const std::string &path, size_t count);
// Replaces the file's content (creating it); false when it cannot be written.
bool writeFile(const std::string &path, const Bytes &data);
bool writeText(const std::string &path, const std::string &text);
bool writeWords(const std::string &path, const std::vector<uint32_t> &words);
