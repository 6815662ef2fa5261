#pragma once

#include "QuendrilCore/AddOnOutcome.h"

#include <QByteArray>
#include <QString>

#include <variant>

// What happened when an add-on ran: it finished by itself, it was stopped at the time limit or
// for printing too much, or it never started.
class AddOnRun {
public:
    // The process ended by itself. `status` is its exit code, or 128 plus the signal that ended
    // it; `errors` holds at most the first 65,536 bytes of its standard error.
    struct Finished {
        int status = 0;
        QByteArray output;
        QByteArray errors;
        bool operator==(const Finished&) const = default;
    };
    // The time limit of `seconds` was reached and the process group was stopped.
    struct TimedOut {
        double seconds = 0;
        bool operator==(const TimedOut&) const = default;
    };
    // The process could not be started; `error` is the system's text for the cause.
    struct CouldNotStart {
        QString error;
        bool operator==(const CouldNotStart&) const = default;
    };
    // Standard output passed the output limit and the process group was stopped.
    struct TooMuchOutput {
        bool operator==(const TooMuchOutput&) const = default;
    };

    using Value = std::variant<Finished, TimedOut, CouldNotStart, TooMuchOutput>;

    [[nodiscard]] static AddOnRun finished(int status, QByteArray output, QByteArray errors = {});
    [[nodiscard]] static AddOnRun timedOut(double seconds);
    [[nodiscard]] static AddOnRun couldNotStart(QString error);
    [[nodiscard]] static AddOnRun tooMuchOutput();

    const Value& value() const { return m_value; }
    // The payload when the run is of kind T, else null.
    template <typename T> const T* as() const { return std::get_if<T>(&m_value); }

    // The text to insert (only for a clean, successful run) and the one status-line message for
    // the add-on called `name`.
    [[nodiscard]] AddOnOutcome outcome(const QString& name) const;

    bool operator==(const AddOnRun&) const = default;

private:
    // Built in place: moving a whole variant trips a false uninitialized warning in g++ 12.
    template <typename T, typename... Args>
    explicit AddOnRun(std::in_place_type_t<T> kind, Args&&... args)
        : m_value(kind, std::forward<Args>(args)...)
    {
    }
    Value m_value;
};
