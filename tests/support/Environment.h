// Environment variables a test changes, put back as they were when the change goes (the test's
// fixture, or a scope in the test).
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tvn::test {

class EnvironmentChange {
public:
    EnvironmentChange() = default;
    EnvironmentChange(const EnvironmentChange&) = delete;
    EnvironmentChange& operator=(const EnvironmentChange&) = delete;
    ~EnvironmentChange()
    {
        for (auto saved = m_saved.rbegin(); saved != m_saved.rend(); ++saved) {
            if (saved->second)
                setenv(saved->first.c_str(), saved->second->c_str(), 1);
            else
                unsetenv(saved->first.c_str());
        }
    }

    void set(const std::string& name, const std::string& value)
    {
        remember(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void unset(const std::string& name)
    {
        remember(name);
        unsetenv(name.c_str());
    }

private:
    // The value before the first change, kept once.
    void remember(const std::string& name)
    {
        for (const auto& saved : m_saved)
            if (saved.first == name)
                return;
        const char* value = std::getenv(name.c_str());
        m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

} // namespace tvn::test
