#include "QuendrilCore/KeyCombo.h"

#include <array>

namespace {

struct CanonicalModifier {
    quint32 bit;
    const char16_t* word;
    const char16_t* symbol;
};

constexpr std::array<CanonicalModifier, 4> canonicalOrder{{
    {KeyCombo::controlBit, u"ctrl", u"⌃"},
    {KeyCombo::optionBit, u"alt", u"⌥"},
    {KeyCombo::shiftBit, u"shift", u"⇧"},
    {KeyCombo::commandBit, u"cmd", u"⌘"},
}};

std::optional<quint32> lookUp(const QList<KeyCombo::Entry>& table, QStringView name)
{
    for (const KeyCombo::Entry& entry : table) {
        if (entry.name == name)
            return entry.value;
    }
    return std::nullopt;
}

std::optional<QString> keyName(quint32 keyCode)
{
    for (const KeyCombo::Entry& entry : KeyCombo::keys()) {
        if (entry.value == keyCode)
            return entry.name;
    }
    return std::nullopt;
}

QStringView trimmedBlanks(QStringView part)
{
    const auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (!part.isEmpty() && isBlank(part.front()))
        part = part.mid(1);
    while (!part.isEmpty() && isBlank(part.back()))
        part.chop(1);
    return part;
}

} // namespace

const QList<KeyCombo::Entry>& KeyCombo::modifiers()
{
    static const QList<Entry> table{
        {QStringLiteral("ctrl"), controlBit},  {QStringLiteral("alt"), optionBit},
        {QStringLiteral("option"), optionBit}, {QStringLiteral("shift"), shiftBit},
        {QStringLiteral("cmd"), commandBit},   {QStringLiteral("super"), commandBit},
        {QStringLiteral("hyper"), hyperBits},
    };
    return table;
}

const QList<KeyCombo::Entry>& KeyCombo::keys()
{
    static const QList<Entry> table{
        {QStringLiteral("a"), 0},      {QStringLiteral("s"), 1},     {QStringLiteral("d"), 2},
        {QStringLiteral("f"), 3},      {QStringLiteral("h"), 4},     {QStringLiteral("g"), 5},
        {QStringLiteral("z"), 6},      {QStringLiteral("x"), 7},     {QStringLiteral("c"), 8},
        {QStringLiteral("v"), 9},      {QStringLiteral("b"), 11},    {QStringLiteral("q"), 12},
        {QStringLiteral("w"), 13},     {QStringLiteral("e"), 14},    {QStringLiteral("r"), 15},
        {QStringLiteral("y"), 16},     {QStringLiteral("t"), 17},    {QStringLiteral("o"), 31},
        {QStringLiteral("u"), 32},     {QStringLiteral("i"), 34},    {QStringLiteral("p"), 35},
        {QStringLiteral("l"), 37},     {QStringLiteral("j"), 38},    {QStringLiteral("k"), 40},
        {QStringLiteral("n"), 45},     {QStringLiteral("m"), 46},    {QStringLiteral("1"), 18},
        {QStringLiteral("2"), 19},     {QStringLiteral("3"), 20},    {QStringLiteral("4"), 21},
        {QStringLiteral("6"), 22},     {QStringLiteral("5"), 23},    {QStringLiteral("9"), 25},
        {QStringLiteral("7"), 26},     {QStringLiteral("8"), 28},    {QStringLiteral("0"), 29},
        {QStringLiteral("space"), 49}, {QStringLiteral("f1"), 122},  {QStringLiteral("f2"), 120},
        {QStringLiteral("f3"), 99},    {QStringLiteral("f4"), 118},  {QStringLiteral("f5"), 96},
        {QStringLiteral("f6"), 97},    {QStringLiteral("f7"), 98},   {QStringLiteral("f8"), 100},
        {QStringLiteral("f9"), 101},   {QStringLiteral("f10"), 109}, {QStringLiteral("f11"), 103},
        {QStringLiteral("f12"), 111},
    };
    return table;
}

std::optional<KeyCombo> KeyCombo::parse(QStringView text)
{
    const QString lowered = text.toString().toLower();
    std::optional<quint32> key;
    quint32 bits = 0;
    // Splitting keeps empty parts, so "ctrl++s" and "ctrl+" fail on the empty one; even the
    // empty text has one (empty) part.
    for (QStringView part : QStringView(lowered).split(u'+')) {
        part = trimmedBlanks(part);
        if (const auto modifier = lookUp(modifiers(), part)) {
            bits |= *modifier;
        } else if (const auto code = lookUp(keys(), part)) {
            if (key)
                return std::nullopt;
            key = code;
        } else {
            return std::nullopt;
        }
    }
    if (!key)
        return std::nullopt;
    return KeyCombo(*key, bits, text.toString());
}

std::optional<QString> KeyCombo::text(quint32 keyCode, quint32 carbonModifiers)
{
    const auto name = keyName(keyCode);
    if (!name)
        return std::nullopt;
    if ((carbonModifiers & hyperBits) == hyperBits)
        return QString(u"hyper+" + *name);
    QString result;
    for (const CanonicalModifier& modifier : canonicalOrder) {
        if (carbonModifiers & modifier.bit) {
            result += QStringView(modifier.word);
            result += u'+';
        }
    }
    result += *name;
    return result;
}

QString KeyCombo::symbols() const
{
    QString label = keyName(m_keyCode).value_or(QStringLiteral("?"));
    label = label.size() == 1 ? label.toUpper() : QString(label.left(1).toUpper() + label.mid(1));
    if ((m_carbonModifiers & hyperBits) == hyperBits)
        return QString(u"Hyper + " + label);
    QString result;
    for (const CanonicalModifier& modifier : canonicalOrder) {
        if (m_carbonModifiers & modifier.bit)
            result += QStringView(modifier.symbol);
    }
    return result + label;
}

bool KeyCombo::isAllowedGlobal() const
{
    return (m_carbonModifiers & (controlBit | optionBit)) != 0;
}
