#include "QuendrilCore/BashTokenizer.h"

#include <algorithm>

namespace BashTokenizer {

namespace {

bool isBlank(char16_t c)
{
    return c == 0 || c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
}

bool isBreak(char16_t c)
{
    switch (c) {
    case u'|':
    case u'&':
    case u';':
    case u'<':
    case u'>':
    case u'(':
    case u')':
    case u'"':
    case u'\'':
    case u'$':
        return true;
    default:
        return false;
    }
}

bool isAsciiWordUnit(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_';
}

class Scanner {
public:
    Scanner(QStringView text, TextSpan range)
        : m_text(text)
        , m_start(std::clamp<qsizetype>(range.location, 0, text.size()))
        , m_end(std::clamp<qsizetype>(range.end(), m_start, text.size()))
    {
    }

    QList<CodeToken> run()
    {
        m_at = m_start;
        while (m_at < m_end)
            step();
        return std::move(m_tokens);
    }

private:
    char16_t unit(qsizetype i) const { return m_text[i].unicode(); }

    void emit(CodeTokenKind kind, qsizetype from, qsizetype to)
    {
        m_tokens.append({kind, {from, to - from}});
    }

    void step()
    {
        const char16_t c = unit(m_at);
        const bool inWord = m_at != m_start && !isBlank(unit(m_at - 1)) && !isBreak(unit(m_at - 1));
        if (c == u' ' || c == u'\r' || c == u'\t') {
            ++m_at;
            return;
        }
        if (c == u'\n') {
            m_commandPosition = true;
            ++m_at;
            return;
        }
        if (!inWord && c == u'#') {
            qsizetype to = m_at;
            while (to < m_end && unit(to) != u'\n')
                ++to;
            emit(CodeTokenKind::comment, m_at, to);
            m_at = to;
            return;
        }
        general(c);
    }

    void general(char16_t c)
    {
        const qsizetype from = m_at;
        const auto next = [&](qsizetype i) -> char16_t { return i < m_end ? unit(i) : 0xFFFF; };
        switch (c) {
        case u'"': {
            qsizetype to = from + 1;
            while (to < m_end && unit(to) != u'"')
                to += unit(to) == u'\\' ? 2 : 1;
            to = std::min(to + 1, m_end);
            emit(CodeTokenKind::string, from, to);
            m_at = to;
            m_commandPosition = false;
            return;
        }
        case u'\'': {
            qsizetype to = from + 1;
            while (to < m_end && unit(to) != u'\'' && unit(to) != u'\n')
                ++to;
            to = std::min(to + 1, m_end);
            emit(CodeTokenKind::string, from, to);
            m_at = to;
            m_commandPosition = false;
            return;
        }
        case u'$': {
            const char16_t after = next(from + 1);
            if (after == u'{') {
                qsizetype to = from + 2;
                while (to < m_end && unit(to) != u'}')
                    ++to;
                to = std::min(to + 1, m_end);
                emit(CodeTokenKind::variable, from, to);
                m_at = to;
            } else if (after == u'(') {
                emit(CodeTokenKind::operator_, from, from + 2);
                m_at = from + 2;
                m_commandPosition = true;
            } else if (isAsciiWordUnit(after)) {
                qsizetype to = from + 1;
                while (to < m_end && isAsciiWordUnit(unit(to)))
                    ++to;
                emit(CodeTokenKind::variable, from, to);
                m_at = to;
            } else if (after != 0xFFFF && QStringView(u"?#@*$!-").contains(QChar(after))) {
                emit(CodeTokenKind::variable, from, from + 2);
                m_at = from + 2;
            } else {
                m_at = from + 1;
            }
            return;
        }
        case u'&':
        case u'|':
        case u'>': {
            const qsizetype to = next(from + 1) == c ? from + 2 : from + 1;
            emit(CodeTokenKind::operator_, from, to);
            m_at = to;
            if (c != u'>')
                m_commandPosition = true;
            return;
        }
        case u';':
        case u'(':
        case u'<':
        case u')':
            emit(CodeTokenKind::operator_, from, from + 1);
            m_at = from + 1;
            if (c == u';' || c == u'(')
                m_commandPosition = true;
            return;
        default:
            word();
        }
    }

    void word()
    {
        const qsizetype from = m_at;
        qsizetype to = from + 1;
        while (to < m_end && !isBlank(unit(to)) && !isBreak(unit(to)))
            ++to;
        m_at = to;
        const QStringView text = m_text.sliced(from, to - from);
        const qsizetype equals = text.indexOf(u'=');
        if (m_commandPosition) {
            if (equals > 0 && std::all_of(text.begin(), text.begin() + equals, [](QChar c) {
                    return c.isLetterOrNumber() || c == u'_';
                })) {
                emit(CodeTokenKind::variable, from, from + equals);
                return;
            }
            if (keywords().contains(std::u16string_view(text.utf16(), size_t(text.size())))) {
                emit(CodeTokenKind::keyword, from, to);
                return;
            }
            emit(CodeTokenKind::command, from, to);
            m_commandPosition = false;
            return;
        }
        if (text.size() >= 2 && text.front() == u'-')
            emit(CodeTokenKind::flag, from, equals >= 0 ? from + equals : to);
        m_commandPosition = false;
    }

    QStringView m_text;
    qsizetype m_start;
    qsizetype m_end;
    qsizetype m_at = 0;
    bool m_commandPosition = true;
    QList<CodeToken> m_tokens;
};

} // namespace

const std::unordered_set<std::u16string_view>& keywords()
{
    static const std::unordered_set<std::u16string_view> set{
        u"if",     u"then",   u"else",  u"elif",   u"fi",   u"for",      u"while",
        u"until",  u"do",     u"done",  u"case",   u"esac", u"function", u"in",
        u"return", u"export", u"local", u"select", u"time", u"!"};
    return set;
}

QList<CodeToken> tokens(QStringView text, TextSpan range)
{
    return Scanner(text, range).run();
}

} // namespace BashTokenizer
