// A child process's console output as text for the page. Output that is valid UTF-8 is taken as
// it is; anything else is taken as GBK (the code page the page's tools wrote on their first
// system) and converted. Read piece by piece, a character cut at a piece's end is held back and
// begins the next piece, so no piece carries half a character.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

// The bytes before the first NUL (a piece is text up to its terminator).
std::string_view upToFirstNul(std::string_view bytes);

// Whole output to UTF-8.
std::string outputText(std::string_view bytes);

// Whole output handed on as it is read: each read gives the whole characters it completes while
// the output is UTF-8 so far, so a reader can pass them on before the child has ended (the page's
// side makes its text of them meanwhile). Output that turns out not to be UTF-8 is converted at the
// end as one GBK text, which replaces every part handed on.
class WholeOutput {
public:
    // Shared, not copied: the reader hands a part on and keeps it for a late turn to GBK.
    using Part = std::shared_ptr<const std::string>;

    // The text this piece completes; null when it completes none, or when the output is not UTF-8.
    Part append(std::string_view piece);
    // At the end: nullopt when the parts handed on are the output, in order; otherwise the output as
    // GBK text, instead of them. The object is left empty.
    std::optional<std::string> finish();

private:
    std::vector<Part> m_parts;
    std::string m_held; // the start of a character the next read completes
    bool m_utf8 = true;
};

class OutputPieces {
public:
    // The text of the next piece of output, without a character cut at its end.
    std::string next(std::string_view piece);
    // What was held back when the output ended (a character that never completed), as text.
    std::string finish();

private:
    std::string m_held;
};

} // namespace tvn
