// Child output decoding.

#include "util/ExecOutput.h"

#include "util/TextConvert.h"

#include <cstring>
#include <glib.h>
#include <utility>

namespace tvn {

namespace {

// Where a valid UTF-8 text ends when its last 1 to 3 bytes begin a character that is cut off;
// npos when the text is not UTF-8 (a cut character counts as UTF-8).
size_t utf8CompleteLength(std::string_view bytes)
{
    const char* end = nullptr;
    if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), &end))
        return bytes.size();
    const size_t valid = static_cast<size_t>(end - bytes.data());
    const size_t rest = bytes.size() - valid;
    const auto lead = static_cast<unsigned char>(bytes[valid]);
    const size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 0;
    if (length == 0 || rest >= length)
        return std::string_view::npos;
    for (size_t i = 1; i < rest; ++i) {
        if ((static_cast<unsigned char>(bytes[valid + i]) & 0xC0) != 0x80)
            return std::string_view::npos;
    }
    // The continuation bytes so far must fit the lead (no overlong or surrogate start).
    if (rest >= 2) {
        const auto second = static_cast<unsigned char>(bytes[valid + 1]);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
            return std::string_view::npos;
    }
    return valid;
}

// Where GBK text ends when its last byte is a lead byte still waiting for its second.
size_t gbkCompleteLength(std::string_view bytes)
{
    size_t at = 0;
    while (at < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte >= 0x81 && byte <= 0xFE) {
            if (at + 1 == bytes.size())
                return at;
            at += 2;
        } else {
            ++at;
        }
    }
    return bytes.size();
}

} // namespace

std::string_view upToFirstNul(std::string_view bytes)
{
    const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
    return nul ? bytes.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - bytes.data())) : bytes;
}

std::string outputText(std::string_view bytes)
{
    if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
        return std::string(bytes);
    return gbkToUtf8(bytes);
}

WholeOutput::Part WholeOutput::append(std::string_view piece)
{
    if (!m_utf8) {
        m_parts.push_back(std::make_shared<const std::string>(piece));
        return nullptr;
    }
    std::string bytes = std::exchange(m_held, std::string());
    bytes.append(piece);
    const size_t complete = utf8CompleteLength(bytes);
    if (complete == std::string_view::npos) {
        m_utf8 = false;
        m_parts.push_back(std::make_shared<const std::string>(std::move(bytes)));
        return nullptr;
    }
    m_held = bytes.substr(complete);
    bytes.resize(complete);
    if (bytes.empty())
        return nullptr;
    auto part = std::make_shared<const std::string>(std::move(bytes));
    m_parts.push_back(part);
    return part;
}

std::optional<std::string> WholeOutput::finish()
{
    const std::vector<Part> parts = std::exchange(m_parts, {});
    const std::string held = std::exchange(m_held, std::string());
    if (std::exchange(m_utf8, true) && held.empty())
        return std::nullopt;
    std::string bytes;
    for (const Part& part : parts)
        bytes += *part;
    bytes += held;
    return gbkToUtf8(bytes);
}

std::string OutputPieces::next(std::string_view piece)
{
    std::string bytes = std::move(m_held);
    m_held.clear();
    bytes.append(piece);
    const size_t utf8 = utf8CompleteLength(bytes);
    if (utf8 != std::string_view::npos) {
        m_held = bytes.substr(utf8);
        bytes.resize(utf8);
        return bytes;
    }
    const size_t gbk = gbkCompleteLength(bytes);
    m_held = bytes.substr(gbk);
    return gbkToUtf8(std::string_view(bytes).substr(0, gbk));
}

std::string OutputPieces::finish()
{
    return outputText(std::exchange(m_held, std::string()));
}

} // namespace tvn
