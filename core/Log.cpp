// The function name a log record carries, worked out from the compiler's pretty signature.

#include "core/Log.h"

namespace tvn::log {

namespace {

constexpr std::string_view kOperatorSymbols = "()[]<>=!+-*/%^&|~,";

// Where the parameter list of the signature begins: the first "(" outside template arguments,
// stepping over an operator's own symbols ("operator()", "operator<<").
size_t parameterListStart(std::string_view signature)
{
    int angles = 0;
    for (size_t i = 0; i < signature.size(); ++i) {
        if (signature.compare(i, 8, "operator") == 0 && (i == 0 || signature[i - 1] == ':' || signature[i - 1] == ' ')) {
            i += 8;
            if (signature.compare(i, 2, "()") == 0)
                i += 2;
            while (i < signature.size() && signature[i] != '(' && kOperatorSymbols.find(signature[i]) != std::string_view::npos)
                ++i;
            while (i < signature.size() && signature[i] != '(')
                ++i; // a conversion operator's type: "operator bool"
            if (i >= signature.size())
                return std::string_view::npos;
        }
        const char c = signature[i];
        if (c == '<')
            ++angles;
        else if (c == '>' && angles > 0)
            --angles;
        else if (c == '(' && angles == 0)
            return i;
    }
    return std::string_view::npos;
}

// The qualified name without its return type: what follows the last blank outside template
// arguments, unless that blank belongs to "operator <type>".
std::string_view withoutReturnType(std::string_view head)
{
    const size_t op = head.rfind("operator");
    const size_t limit = op == std::string_view::npos ? head.size() : op;
    int angles = 0;
    size_t start = 0;
    for (size_t i = 0; i < limit; ++i) {
        if (head[i] == '<')
            ++angles;
        else if (head[i] == '>' && angles > 0)
            --angles;
        else if (head[i] == ' ' && angles == 0)
            start = i + 1;
    }
    return head.substr(start);
}

} // namespace

std::string functionName(std::string_view prettyFunction)
{
    const size_t parameters = parameterListStart(prettyFunction);
    const std::string_view qualified = withoutReturnType(prettyFunction.substr(0, parameters));

    // Drop template arguments (but not an operator's symbols) and the namespaces nobody needs to read.
    std::string name;
    const size_t op = qualified.rfind("operator");
    int angles = 0;
    for (size_t i = 0; i < qualified.size(); ++i) {
        const char c = qualified[i];
        if (op != std::string_view::npos && i >= op) {
            name += c;
            continue;
        }
        if (c == '<')
            ++angles;
        else if (c == '>' && angles > 0)
            --angles;
        else if (angles == 0)
            name += c;
    }
    for (std::string_view noise : { "{anonymous}::", "(anonymous namespace)::" }) {
        for (size_t at = name.find(noise); at != std::string::npos; at = name.find(noise))
            name.erase(at, noise.size());
    }
    if (name.rfind("tvn::", 0) == 0)
        name.erase(0, 5);
    return name;
}

} // namespace tvn::log
