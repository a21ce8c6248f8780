// Reading KeyValues text: a small tokenizer and a recursive reader with a depth limit.

#include "wine/Vdf.h"

#include "util/Strings.h"

namespace tvn::wine {

namespace {

constexpr int kMaxDepth = 64;

enum class TokenKind { Text, Open, Close, Condition, End, Bad };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
};

class Reader {
public:
    explicit Reader(std::string_view text)
        : m_text(text)
    {
    }

    Token next()
    {
        skipBlanksAndComments();
        if (m_at >= m_text.size())
            return { TokenKind::End, {} };
        const char c = m_text[m_at];
        if (c == '{' || c == '}') {
            ++m_at;
            return { c == '{' ? TokenKind::Open : TokenKind::Close, {} };
        }
        if (c == '"')
            return quoted();
        if (c == '[')
            return condition();
        return bare();
    }

    // The pairs up to the closing brace (or the end, at the top level) into `block`.
    bool readBlock(VdfNode& block, int depth, bool topLevel)
    {
        if (depth > kMaxDepth)
            return false;
        block.isBlock = true;
        for (Token key = next();; key = next()) {
            if (key.kind == TokenKind::End)
                return topLevel;
            if (key.kind == TokenKind::Close)
                return !topLevel;
            if (key.kind != TokenKind::Text)
                return false;
            VdfNode node;
            Token value = next();
            if (value.kind == TokenKind::Open) {
                if (!readBlock(node, depth + 1, false))
                    return false;
            } else if (value.kind == TokenKind::Text) {
                node.value = std::move(value.text);
            } else {
                return false;
            }
            block.children.push_back(VdfEntry { std::move(key.text), std::move(node) });
            skipCondition();
        }
    }

private:
    void skipBlanksAndComments()
    {
        for (;;) {
            while (m_at < m_text.size() && kBlanks.find(m_text[m_at]) != std::string_view::npos)
                ++m_at;
            if (m_text.substr(m_at, 2) != "//")
                return;
            const size_t end = m_text.find('\n', m_at);
            m_at = end == std::string_view::npos ? m_text.size() : end + 1;
        }
    }

    void skipCondition()
    {
        const size_t at = m_at;
        if (next().kind != TokenKind::Condition)
            m_at = at;
    }

    Token quoted()
    {
        std::string text;
        for (++m_at; m_at < m_text.size(); ++m_at) {
            char c = m_text[m_at];
            if (c == '"') {
                ++m_at;
                return { TokenKind::Text, std::move(text) };
            }
            if (c == '\\' && m_at + 1 < m_text.size()) {
                c = m_text[++m_at];
                if (c == 'n')
                    c = '\n';
                else if (c == 't')
                    c = '\t';
                else if (c != '\\' && c != '"')
                    text += '\\'; // not an escape: both characters stand (Windows paths)
            }
            text += c;
        }
        return { TokenKind::Bad, {} }; // never closed
    }

    Token condition()
    {
        const size_t end = m_text.find(']', m_at);
        if (end == std::string_view::npos)
            return { TokenKind::Bad, {} };
        m_at = end + 1;
        return { TokenKind::Condition, {} };
    }

    Token bare()
    {
        const size_t start = m_at;
        while (m_at < m_text.size() && kBlanks.find(m_text[m_at]) == std::string_view::npos && m_text[m_at] != '"'
            && m_text[m_at] != '{' && m_text[m_at] != '}')
            ++m_at;
        return { TokenKind::Text, std::string(m_text.substr(start, m_at - start)) };
    }

    std::string_view m_text;
    size_t m_at = 0;
};

} // namespace

const VdfNode* VdfNode::find(std::string_view key) const
{
    const std::string wanted = asciiLower(key);
    for (const auto& [name, node] : children)
        if (asciiLower(name) == wanted)
            return &node;
    return nullptr;
}

std::optional<std::string> VdfNode::text(std::string_view key) const
{
    const VdfNode* node = find(key);
    if (!node || node->isBlock)
        return std::nullopt;
    return node->value;
}

std::optional<VdfNode> parseVdf(std::string_view text)
{
    VdfNode root;
    Reader reader(text);
    if (!reader.readBlock(root, 0, true))
        return std::nullopt;
    return root;
}

} // namespace tvn::wine
