// A child process's console output as text for the page. Output that is valid UTF-8 is taken as
// it is; anything else is taken as GBK (the code page the page's tools wrote on their first
// system) and converted. Read piece by piece, a character cut at a piece's end is held back and
// begins the next piece, so no piece carries half a character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tvn {

// The bytes before the first NUL (a piece is text up to its terminator).
std::string_view upToFirstNul(std::string_view bytes);

// Whole output to UTF-8.
std::string outputText(std::string_view bytes);

// Whole output gathered as it is read, in parts that are each whole UTF-8 text, checked on the way:
// the end needs no second pass, and no one buffer as large as the output (script joins the parts
// without converting them twice). Output that turns out not to be UTF-8 is converted as one GBK text.
class WholeOutput {
public:
    void append(std::string_view piece);
    // The output as text, in order; the object is left empty.
    std::vector<std::string> take();

private:
    std::vector<std::string> m_parts;
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
