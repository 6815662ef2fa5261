#include "QuendrilCore/GeometryText.h"

#include <QLocale>

#include <cmath>

namespace {

class Reader {
public:
    explicit Reader(QStringView text) : m_text(text) {}

    bool expect(QChar c)
    {
        skipBlanks();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }

    std::optional<double> number()
    {
        skipBlanks();
        const qsizetype start = m_at;
        while (m_at < m_text.size() && (m_text[m_at].isDigit() || m_text[m_at] == u'-' ||
                                        m_text[m_at] == u'+' || m_text[m_at] == u'.' ||
                                        m_text[m_at] == u'e' || m_text[m_at] == u'E'))
            ++m_at;
        bool ok = false;
        const double value = m_text.sliced(start, m_at - start).toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    bool atEnd()
    {
        skipBlanks();
        return m_at == m_text.size();
    }

    std::optional<GeometryText::Size> pair()
    {
        if (!expect(u'{'))
            return std::nullopt;
        const auto first = number();
        if (!first || !expect(u','))
            return std::nullopt;
        const auto second = number();
        if (!second || !expect(u'}'))
            return std::nullopt;
        return GeometryText::Size{*first, *second};
    }

private:
    void skipBlanks()
    {
        while (m_at < m_text.size() && m_text[m_at] == u' ')
            ++m_at;
    }

    QStringView m_text;
    qsizetype m_at = 0;
};

} // namespace

namespace GeometryText {

QString shortestNumber(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString sizeText(Size size)
{
    return u'{' + shortestNumber(size.width) + u", " + shortestNumber(size.height) + u'}';
}

QString rectText(Rect rect)
{
    return u"{{" + shortestNumber(rect.x) + u", " + shortestNumber(rect.y) + u"}, {" +
           shortestNumber(rect.width) + u", " + shortestNumber(rect.height) + u"}}";
}

std::optional<Size> parseSize(QStringView text)
{
    Reader reader(text);
    const auto size = reader.pair();
    if (!size || !reader.atEnd())
        return std::nullopt;
    return size;
}

std::optional<Rect> parseRect(QStringView text)
{
    Reader reader(text);
    if (!reader.expect(u'{'))
        return std::nullopt;
    const auto origin = reader.pair();
    if (!origin || !reader.expect(u','))
        return std::nullopt;
    const auto size = reader.pair();
    if (!size || !reader.expect(u'}') || !reader.atEnd())
        return std::nullopt;
    return Rect{origin->width, origin->height, size->width, size->height};
}

} // namespace GeometryText
