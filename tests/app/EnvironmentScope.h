#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// Sets an environment variable, or unsets it, for the length of a scope.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const std::optional<QString>& value)
        : m_name(name), m_previous(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        Set(value ? std::optional(value->toUtf8()) : std::nullopt);
    }
    ~EnvironmentScope() { Set(m_previous); }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    void Set(const std::optional<QByteArray>& value)
    {
        if (value)
            qputenv(m_name, *value);
        else
            qunsetenv(m_name);
    }
    const char* m_name;
    std::optional<QByteArray> m_previous;
};
