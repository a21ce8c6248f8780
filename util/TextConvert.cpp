// Code-page conversion over glibc iconv, through a fixed 256-byte scratch buffer.

#include "util/TextConvert.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>

namespace tvn {

namespace {

// The system's encoding names, mapped onto glibc's.
std::string iconvName(std::string_view name)
{
    if (name == "wchar_t")
        return "WCHAR_T";
    if (name == "char")
        return nl_langinfo(CODESET); // the code page of the current LC_CTYPE
    return std::string(name);
}

void append(std::string& output, const char* bytes, size_t count)
{
    output.append(bytes, count);
}

void append(std::wstring& output, const char* bytes, size_t count)
{
    const size_t start = output.size();
    output.resize(start + count / sizeof(wchar_t));
    std::memcpy(output.data() + start, bytes, count - count % sizeof(wchar_t));
}

} // namespace

Converter::Converter(std::string_view from, std::string_view to)
    : m_descriptor(iconv_open(iconvName(to).c_str(), iconvName(from).c_str()))
{
}

Converter::~Converter()
{
    if (isValid())
        iconv_close(static_cast<iconv_t>(m_descriptor));
}

// Invalid input is skipped one input unit at a time: one byte of a byte string, one character of a
// wide string (skipping a single byte of a wide string would misalign everything after it).
template<typename Output>
bool Converter::run(const char* input, size_t inputBytes, size_t inputUnit, Output& output)
{
    if (!isValid())
        return false;
    if (!inputBytes)
        return true;

    auto descriptor = static_cast<iconv_t>(m_descriptor);
    char scratch[256];
    char* in = const_cast<char*>(input); // iconv's signature; it never writes through it
    size_t left = inputBytes;
    while (left) {
        char* out = scratch;
        size_t room = sizeof(scratch);
        const size_t before = left;
        if (iconv(descriptor, &in, &left, &out, &room) == static_cast<size_t>(-1) && errno != E2BIG) {
            if (!m_skipInvalidInput)
                return false;
            const size_t skip = std::min(inputUnit, left);
            in += skip;
            left -= skip;
        }
        const size_t written = sizeof(scratch) - room;
        if (!written && left == before)
            return false; // no progress is possible; never spin
        append(output, scratch, written);
    }
    return true;
}

bool Converter::convert(std::wstring_view input, std::string& output)
{
    return run(reinterpret_cast<const char*>(input.data()), input.size() * sizeof(wchar_t), sizeof(wchar_t), output);
}

bool Converter::convert(std::string_view input, std::wstring& output)
{
    return run(input.data(), input.size(), 1, output);
}

bool Converter::convert(std::string_view input, std::string& output)
{
    return run(input.data(), input.size(), 1, output);
}

namespace {

template<typename Output, typename Input>
Output convertWith(std::string_view from, std::string_view to, Input input)
{
    Output result;
    Converter(from, to).convert(input, result);
    return result;
}

} // namespace

std::string wideToUtf8(std::wstring_view text) { return convertWith<std::string>("wchar_t", "UTF-8", text); }
std::wstring utf8ToWide(std::string_view text) { return convertWith<std::wstring>("UTF-8", "wchar_t", text); }
std::string gbkToUtf8(std::string_view text) { return convertWith<std::string>("GBK", "UTF-8", text); }
std::wstring ansiToWide(std::string_view text) { return convertWith<std::wstring>("char", "wchar_t", text); }
std::string wideToAnsi(std::wstring_view text) { return convertWith<std::string>("wchar_t", "char", text); }
std::wstring gbkToWide(std::string_view text) { return convertWith<std::wstring>("GBK", "wchar_t", text); }

std::string utf16leToUtf8(std::string_view bytes)
{
    size_t length = 0;
    while (length + 1 < bytes.size() && (bytes[length] || bytes[length + 1]))
        length += 2;
    std::string text;
    Converter("UTF-16LE", "UTF-8").convert(bytes.substr(0, length), text);
    return text;
}

} // namespace tvn
