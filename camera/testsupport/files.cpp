#include "testsupport/files.h"

#include <fstream>
#include <iterator>

Bytes readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint32_t> readWords(const std::string &path, size_t count)
{
    std::vector<uint32_t> words(count);
    std::ifstream in(path, std::ios::binary);
    in.read((char *)words.data(), (std::streamsize)(count * sizeof(uint32_t)));
    if (!in)
        words.clear();
    return words;
}

static bool writeBytes(const std::string &path, const char *data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, (std::streamsize)size);
    out.close();
    return !out.fail();
}

bool writeFile(const std::string &path, const Bytes &data)
{
    return writeBytes(path, (const char *)data.data(), data.size());
}

bool writeText(const std::string &path, const std::string &text)
{
    return writeBytes(path, text.data(), text.size());
}

bool writeWords(const std::string &path, const std::vector<uint32_t> &words)
{
    return writeBytes(path, (const char *)words.data(), words.size() * sizeof(uint32_t));
}
