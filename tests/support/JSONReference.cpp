#include "JSONReference.h"

#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

class TextParser {
public:
    TextParser(QByteArrayView bytes, int maxDepth) : m_bytes(bytes), m_maxDepth(maxDepth) {}

    bool parseDocument()
    {
        skipSpace();
        if (!parseValue(0))
            return false;
        skipSpace();
        return m_at == m_bytes.size();
    }

private:
    int peek() const { return m_at < m_bytes.size() ? (unsigned char)m_bytes[m_at] : -1; }
    bool take(char c)
    {
        if (peek() != (unsigned char)c)
            return false;
        ++m_at;
        return true;
    }
    void skipSpace()
    {
        while (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')
            ++m_at;
    }
    bool digits()
    {
        const qsizetype from = m_at;
        while (peek() >= '0' && peek() <= '9')
            ++m_at;
        return m_at > from;
    }

    bool parseValue(int depth)
    {
        switch (peek()) {
        case '{':
            return depth < m_maxDepth && parseObject(depth + 1);
        case '[':
            return depth < m_maxDepth && parseArray(depth + 1);
        case '"':
            return parseString();
        case 't':
            return word("true");
        case 'f':
            return word("false");
        case 'n':
            return word("null");
        default:
            return parseNumber();
        }
    }

    bool word(const char* text)
    {
        const qsizetype length = qsizetype(std::strlen(text));
        if (m_bytes.sliced(m_at).first(std::min(length, m_bytes.size() - m_at)) !=
            QByteArrayView(text, length))
            return false;
        m_at += length;
        return true;
    }

    bool parseNumber()
    {
        take('-');
        if (take('0')) {
        } else if (!digits()) {
            return false;
        }
        if (take('.') && !digits())
            return false;
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (!digits())
                return false;
        }
        return true;
    }

    bool parseString()
    {
        take('"');
        for (;;) {
            const int c = peek();
            if (c < 0x20) // also the end (-1)
                return false;
            ++m_at;
            if (c == '"')
                return true;
            if (c != '\\')
                continue;
            const int e = peek();
            ++m_at;
            if (e == 'u') {
                for (int i = 0; i < 4; ++i) {
                    const int h = peek();
                    ++m_at;
                    if (!std::isxdigit(h))
                        return false;
                }
            } else if (!e || !std::strchr("\"\\/bfnrt", e)) {
                return false;
            }
        }
    }

    bool parseArray(int depth)
    {
        take('[');
        skipSpace();
        if (take(']'))
            return true;
        for (;;) {
            skipSpace();
            if (!parseValue(depth))
                return false;
            skipSpace();
            if (take(']'))
                return true;
            if (!take(','))
                return false;
        }
    }

    bool parseObject(int depth)
    {
        take('{');
        skipSpace();
        if (take('}'))
            return true;
        for (;;) {
            skipSpace();
            if (peek() != '"' || !parseString())
                return false;
            skipSpace();
            if (!take(':'))
                return false;
            skipSpace();
            if (!parseValue(depth))
                return false;
            skipSpace();
            if (take('}'))
                return true;
            if (!take(','))
                return false;
        }
    }

    QByteArrayView m_bytes;
    int m_maxDepth;
    qsizetype m_at = 0;
};

class TokenParser {
public:
    TokenParser(const QList<JSONToken>& tokens, int maxDepth) : m_tokens(tokens), m_maxDepth(maxDepth)
    {
    }

    bool parseDocument() { return parseValue(0) && m_at == m_tokens.size(); }

private:
    bool take(JSONTokenKind kind)
    {
        if (m_at >= m_tokens.size() || m_tokens[m_at].kind != kind)
            return false;
        ++m_at;
        return true;
    }

    bool parseValue(int depth)
    {
        if (take(JSONTokenKind::string) || take(JSONTokenKind::number) ||
            take(JSONTokenKind::literal))
            return true;
        if (take(JSONTokenKind::beginArray)) {
            if (depth >= m_maxDepth)
                return false;
            if (take(JSONTokenKind::endArray))
                return true;
            do {
                if (!parseValue(depth + 1))
                    return false;
            } while (take(JSONTokenKind::comma));
            return take(JSONTokenKind::endArray);
        }
        if (take(JSONTokenKind::beginObject)) {
            if (depth >= m_maxDepth)
                return false;
            if (take(JSONTokenKind::endObject))
                return true;
            do {
                if (!take(JSONTokenKind::string) || !take(JSONTokenKind::colon) ||
                    !parseValue(depth + 1))
                    return false;
            } while (take(JSONTokenKind::comma));
            return take(JSONTokenKind::endObject);
        }
        return false;
    }

    const QList<JSONToken>& m_tokens;
    int m_maxDepth;
    qsizetype m_at = 0;
};

} // namespace

namespace JSONReference {

bool isValid(QByteArrayView bytes, int maxDepth)
{
    return TextParser(bytes, maxDepth).parseDocument();
}

bool isValidTokenSequence(const QList<JSONToken>& tokens, int maxDepth)
{
    return TokenParser(tokens, maxDepth).parseDocument();
}

QString decodeUTF8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes);
}

QByteArray withoutLayout(QByteArrayView bytes)
{
    QByteArray out;
    bool inString = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            out += c;
            if (c == '\\' && i + 1 < bytes.size())
                out += bytes[++i];
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
            out += c;
        } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            out += c;
        }
    }
    return out;
}

} // namespace JSONReference
