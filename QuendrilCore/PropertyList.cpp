#include "QuendrilCore/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

constexpr qint64 maxFileSize = 1024 * 1024;
constexpr int maxDepth = 64;

std::optional<QVariant> readValue(QXmlStreamReader& xml, int depth);

// Reads up to the end of the current container; `onChild` gets each element's start.
bool nextChild(QXmlStreamReader& xml)
{
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement())
            return true;
        if (xml.isEndElement())
            return false;
        if (xml.isCharacters() && !xml.isWhitespace())
            return false;
    }
    return false;
}

std::optional<QVariant> readDictionary(QXmlStreamReader& xml, int depth)
{
    QVariantMap map;
    while (nextChild(xml)) {
        if (xml.name() != u"key")
            return std::nullopt;
        const QString key = xml.readElementText();
        if (xml.hasError() || map.contains(key) || !nextChild(xml))
            return std::nullopt;
        std::optional<QVariant> value = readValue(xml, depth + 1);
        if (!value)
            return std::nullopt;
        map.insert(key, std::move(*value));
    }
    if (xml.hasError() || !xml.isEndElement())
        return std::nullopt;
    return QVariant(map);
}

std::optional<QVariant> readArray(QXmlStreamReader& xml, int depth)
{
    QVariantList list;
    while (nextChild(xml)) {
        std::optional<QVariant> value = readValue(xml, depth + 1);
        if (!value)
            return std::nullopt;
        list.append(std::move(*value));
    }
    if (xml.hasError() || !xml.isEndElement())
        return std::nullopt;
    return QVariant(list);
}

// Called with the reader on a value's start element; leaves it on the value's end element.
std::optional<QVariant> readValue(QXmlStreamReader& xml, int depth)
{
    if (depth > maxDepth)
        return std::nullopt;
    const QStringView name = xml.name();
    if (name == u"dict")
        return readDictionary(xml, depth);
    if (name == u"array")
        return readArray(xml, depth);
    if (name == u"true" || name == u"false") {
        const bool value = name == u"true";
        if (!xml.readElementText().isEmpty() || xml.hasError())
            return std::nullopt;
        return QVariant(value);
    }
    const QString kind = name.toString();
    const QString text = xml.readElementText();
    if (xml.hasError())
        return std::nullopt;
    if (kind == u"string")
        return QVariant(text);
    if (kind == u"integer") {
        const std::optional<qint64> number = PropertyList::decimalInteger(text.trimmed());
        return number ? std::optional(QVariant(*number)) : std::nullopt;
    }
    if (kind == u"real") {
        bool ok = false;
        const double number = text.trimmed().toDouble(&ok);
        return ok ? std::optional(QVariant(number)) : std::nullopt;
    }
    if (kind == u"data") {
        QByteArray compact = text.toLatin1();
        compact.replace(' ', "").replace('\n', "").replace('\t', "").replace('\r', "");
        auto decoded =
            QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        return decoded ? std::optional(QVariant(decoded.decoded)) : std::nullopt;
    }
    if (kind == u"date") {
        const QDateTime date = QDateTime::fromString(text.trimmed(), Qt::ISODate);
        return date.isValid() ? std::optional(QVariant(date)) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace

namespace PropertyList {

std::optional<QVariant> parse(const QByteArray& bytes)
{
    QXmlStreamReader xml(bytes);
    // Entities declared in a document type are never wanted in a property list.
    xml.setEntityResolver(nullptr);
    if (!nextChild(xml) || xml.name() != u"plist" || !nextChild(xml))
        return std::nullopt;
    std::optional<QVariant> value = readValue(xml, 0);
    if (!value || nextChild(xml) || xml.hasError() || !xml.isEndElement() || xml.name() != u"plist")
        return std::nullopt;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() || (xml.isCharacters() && !xml.isWhitespace()))
            return std::nullopt;
    }
    if (xml.hasError())
        return std::nullopt;
    return value;
}

std::optional<QVariant> read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(maxFileSize + 1);
    if (bytes.size() > maxFileSize)
        return std::nullopt;
    return parse(bytes);
}

std::optional<qint64> decimalInteger(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("\\A[+-]?[0-9]+\\z"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? std::optional(value) : std::nullopt;
}

} // namespace PropertyList
