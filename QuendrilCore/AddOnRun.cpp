#include "QuendrilCore/AddOnRun.h"

#include "QuendrilCore/AddOnOutcome.h"
#include "QuendrilCore/AddOnOutput.h"

#include <QTextBoundaryFinder>

namespace {

constexpr int errorLineCharacters = 200;

bool isLineBreak(QChar c)
{
    return (c >= u'\n' && c <= u'\r') || c == QChar(0x85) || c == QChar(0x2028) ||
           c == QChar(0x2029);
}

// The first line of the error output that holds more than spaces and tabs, trimmed of them and
// cut to 200 characters (whole grapheme clusters, so no pair is ever split).
std::optional<QString> firstErrorLine(const QByteArray& errors)
{
    const QString text = QString::fromUtf8(errors);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isLineBreak(text[end]))
            ++end;
        qsizetype first = start;
        qsizetype last = end;
        while (first < last && (text[first] == u' ' || text[first] == u'\t'))
            ++first;
        while (last > first && (text[last - 1] == u' ' || text[last - 1] == u'\t'))
            --last;
        if (first < last) {
            QString line = text.sliced(first, last - first);
            QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, line);
            for (int count = 0; count < errorLineCharacters; ++count) {
                if (graphemes.toNextBoundary() < 0)
                    return line;
            }
            line.truncate(graphemes.position());
            return line;
        }
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace

AddOnRun AddOnRun::finished(int status, QByteArray output, QByteArray errors)
{
    return AddOnRun(std::in_place_type<Finished>,
                    Finished{status, std::move(output), std::move(errors)});
}

AddOnRun AddOnRun::timedOut(double seconds)
{
    return AddOnRun(std::in_place_type<TimedOut>, TimedOut{seconds});
}

AddOnRun AddOnRun::couldNotStart(QString error)
{
    return AddOnRun(std::in_place_type<CouldNotStart>, CouldNotStart{std::move(error)});
}

AddOnRun AddOnRun::tooMuchOutput()
{
    return AddOnRun(std::in_place_type<TooMuchOutput>);
}

AddOnOutcome AddOnRun::outcome(const QString& name) const
{
    if (const auto* failed = as<CouldNotStart>())
        return {std::nullopt, QString(name + u" could not start: " + failed->error)};
    if (as<TooMuchOutput>())
        return {std::nullopt, QString(name + u" printed more than 10 MB and was stopped")};
    if (const auto* late = as<TimedOut>())
        return {std::nullopt,
                QString(name + u" took more than " + QString::asprintf("%g", late->seconds) +
                        u" seconds and was stopped")};

    const Finished& run = std::get<Finished>(m_value);
    const std::optional<QString> errorLine = firstErrorLine(run.errors);
    if (run.status != 0) {
        if (errorLine)
            return {std::nullopt, QString(name + u": " + *errorLine)};
        return {std::nullopt,
                QString(name + u" failed (exit " + QString::number(run.status) + u")")};
    }
    Result<QString, AddOnOutput::Problem> text = AddOnOutput::clean(run.output);
    if (!text) {
        if (text.error() == AddOnOutput::Problem::notText)
            return {std::nullopt,
                    QString(name + u": the output is not text, so nothing was added")};
        return {std::nullopt,
                QString(name + u": the output has control characters, so nothing was added")};
    }
    std::optional<QString> message;
    if (errorLine)
        message = QString(name + u": " + *errorLine);
    return {std::move(*text), std::move(message)};
}
