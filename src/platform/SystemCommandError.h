#pragma once

// The outcome of running one of the system's command-line tools, and the error a failed run
// becomes. A tool that could not be started at all is not a SystemCommandError: its launch
// error (QProcess's own description) is passed on unchanged, as the platform reports it.

#include <QString>

#include <optional>
#include <utility>
#include <variant>

class SystemCommandError final
{
public:
    enum class Kind
    {
        NonZeroExit,
        ParseFailed
    };

    static SystemCommandError nonZeroExit(QString output, QString errorOutput)
    {
        return SystemCommandError(Kind::NonZeroExit, std::move(output), std::move(errorOutput));
    }
    static SystemCommandError parseFailed(QString message)
    {
        return SystemCommandError(Kind::ParseFailed, std::move(message), {});
    }

    Kind kind() const { return m_kind; }
    // nonZeroExit: the captured standard output (or the merged output); parseFailed: the message.
    const QString& output() const { return m_output; }
    const QString& errorOutput() const { return m_errorOutput; }

    // What a caller shows after its own prefix; captured texts are used exactly, untrimmed.
    QString errorDescription() const;

    bool operator==(const SystemCommandError& other) const = default;

private:
    SystemCommandError(Kind kind, QString output, QString errorOutput)
        : m_kind(kind)
        , m_output(std::move(output))
        , m_errorOutput(std::move(errorOutput))
    { }

    Kind m_kind;
    QString m_output;
    QString m_errorOutput;
};

// The platform's own error for a tool that could not be started (or, for the synchronous
// runner, had to be stopped after its time-out).
struct SystemCommandLaunchError
{
    QString description;

    bool operator==(const SystemCommandLaunchError& other) const = default;
};

class SystemCommandResult final
{
public:
    static SystemCommandResult success(QString text)
    {
        return SystemCommandResult(std::move(text));
    }
    static SystemCommandResult failure(SystemCommandError error)
    {
        return SystemCommandResult(std::move(error));
    }
    static SystemCommandResult launchFailure(QString description)
    {
        return SystemCommandResult(SystemCommandLaunchError {std::move(description)});
    }

    bool isSuccess() const { return std::holds_alternative<QString>(m_value); }
    // The text the tool printed; empty for a failure.
    QString text() const;
    std::optional<SystemCommandError> error() const;
    std::optional<SystemCommandLaunchError> launchError() const;
    // For a failure, the text callers show after their prefix; empty for a success.
    QString errorDescription() const;

    bool operator==(const SystemCommandResult& other) const = default;

private:
    using Value = std::variant<QString, SystemCommandError, SystemCommandLaunchError>;
    explicit SystemCommandResult(Value value)
        : m_value(std::move(value))
    { }

    Value m_value;
};
