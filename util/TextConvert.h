// Code-page conversion: the Converter over iconv and the six conversions built on it.
//
// Encoding names are the system's own: "UTF-8", "wchar_t" (the platform's wide character; UTF-32
// here), "char" (the locale's code page, the stand-in for the ANSI code page) and "GBK". Any other
// name is handed to iconv as it stands. Undecodable input is skipped one unit at a time, so the
// rest of the text survives; an unknown encoding yields an empty result. Nothing is cached: each
// conversion opens its own descriptor, which keeps every helper re-entrant.
#pragma once

#include <string>
#include <string_view>

namespace tvn {

class Converter {
public:
    // Opens the descriptor; on failure the object stays usable and every convert() fails.
    Converter(std::string_view from, std::string_view to);
    virtual ~Converter();

    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool isValid() const { return m_descriptor != invalidDescriptor(); }

    // Each appends to `output`. False only when the descriptor is invalid.
    bool convert(std::wstring_view input, std::string& output);
    bool convert(std::string_view input, std::wstring& output);
    bool convert(std::string_view input, std::string& output);

private:
    static void* invalidDescriptor() { return reinterpret_cast<void*>(-1); }

    template<typename Output>
    bool run(const char* input, size_t inputBytes, size_t inputUnit, Output& output);

    void* m_descriptor; // iconv_t
    bool m_skipInvalidInput = true;
};

std::string wideToUtf8(std::wstring_view);
std::wstring utf8ToWide(std::string_view);
std::string gbkToUtf8(std::string_view);
std::wstring ansiToWide(std::string_view);
std::string wideToAnsi(std::wstring_view);
std::wstring gbkToWide(std::string_view);
// Little-endian UTF-16 bytes (registry data), up to the first NUL character or the end, as UTF-8.
std::string utf16leToUtf8(std::string_view bytes);

} // namespace tvn
