#include "SystemCommandError.h"

QString SystemCommandError::errorDescription() const
{
    if (m_kind == Kind::ParseFailed) {
        return m_output;
    }
    if (!m_errorOutput.isEmpty()) {
        return m_errorOutput;
    }
    if (!m_output.isEmpty()) {
        return m_output;
    }
    return QStringLiteral("コマンドが失敗しました");
}

QString SystemCommandResult::text() const
{
    const QString* text = std::get_if<QString>(&m_value);
    return text ? *text : QString();
}

std::optional<SystemCommandError> SystemCommandResult::error() const
{
    const auto* error = std::get_if<SystemCommandError>(&m_value);
    return error ? std::optional(*error) : std::nullopt;
}

std::optional<SystemCommandLaunchError> SystemCommandResult::launchError() const
{
    const auto* error = std::get_if<SystemCommandLaunchError>(&m_value);
    return error ? std::optional(*error) : std::nullopt;
}

QString SystemCommandResult::errorDescription() const
{
    if (const auto* error = std::get_if<SystemCommandError>(&m_value)) {
        return error->errorDescription();
    }
    if (const auto* error = std::get_if<SystemCommandLaunchError>(&m_value)) {
        return error->description;
    }
    return {};
}
