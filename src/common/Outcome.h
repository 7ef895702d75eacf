#pragma once

#include <QString>

#include <optional>
#include <utility>

// What a function without state gives back: its value, or the reason it failed in the
// operator's words. Objects with state report a bool and keep the reason in errorText().
template <typename T> class Outcome
{
public:
    Outcome(T result) : m_value(std::move(result)) {}
    static Outcome failure(QString reason) { return Outcome(std::nullopt, std::move(reason)); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *m_value; }
    // Empty when the outcome is a value.
    const QString& errorText() const { return m_errorText; }

private:
    Outcome(std::nullopt_t, QString reason) : m_errorText(std::move(reason)) {}

    std::optional<T> m_value;
    QString m_errorText;
};

template <> class Outcome<void>
{
public:
    Outcome() = default;
    static Outcome failure(QString reason) { return Outcome(false, std::move(reason)); }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return ok(); }
    const QString& errorText() const { return m_errorText; }

private:
    Outcome(bool succeeded, QString reason) : m_ok(succeeded), m_errorText(std::move(reason)) {}

    bool m_ok = true;
    QString m_errorText;
};
