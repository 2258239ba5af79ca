#pragma once

#include <QString>

#include <optional>
#include <variant>

namespace moraine {

/// A failed kit operation: the message text and a numeric code.
struct KMError
{
    QString domain;
    int code = 0;

    [[nodiscard]] QString localizedDescription() const;
};

/// An operation's value or the error that stopped it: how the kit reports
/// failures.
template <typename T>
class KMResult
{
public:
    KMResult(T value) : m_outcome(std::move(value)) {}
    KMResult(KMError error) : m_outcome(std::move(error)) {}

    [[nodiscard]] bool ok() const { return std::holds_alternative<T>(m_outcome); }
    [[nodiscard]] const T &value() const { return std::get<T>(m_outcome); }
    [[nodiscard]] const KMError &error() const { return std::get<KMError>(m_outcome); }
    /// The value, or nothing when the operation failed.
    [[nodiscard]] std::optional<T> toOptional() const { return ok() ? std::optional<T>(value()) : std::nullopt; }

private:
    std::variant<T, KMError> m_outcome;
};

} // namespace moraine
