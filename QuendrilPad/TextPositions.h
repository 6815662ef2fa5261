#pragma once

#include <QStringView>

class QsciScintillaBase;

// Converts between the UTF-16 positions the rest of the application speaks and the UTF-8 byte
// positions of one Scintilla document. Each conversion costs one line of text: Scintilla's own
// UTF-16 line index finds the line, and the bytes of that line are decoded here, because
// Scintilla's own unit counting within a line takes the noncharacters U+FDD0 ... U+FDEF, U+FFFE
// and U+FFFF for three units each.
class TextPositions {
public:
    explicit TextPositions(QsciScintillaBase* editor);

    // The UTF-16 position of a byte position (a byte inside a character counts from its start).
    [[nodiscard]] qsizetype toUnits(qsizetype bytePosition) const;
    // The byte position of a UTF-16 position, clamped to the text; a position between the two
    // halves of a surrogate pair gives the start of the character.
    [[nodiscard]] qsizetype toBytes(qsizetype unitPosition) const;
    // The length of the text in UTF-16 units.
    [[nodiscard]] qsizetype unitLength() const;

    // Builds Scintilla's UTF-16 line index again. Scintilla leaves it off by some units when a
    // change makes or splits a CR LF pair (an LF typed after a CR, text put between the two, or
    // whatever stood between them deleted), so the editor calls this after such a change.
    void rebuildIndex();

    // The number of UTF-16 units the UTF-8 bytes encode.
    [[nodiscard]] static qsizetype unitsIn(const char* bytes, qsizetype length);
    // The UTF-8 bytes of the character at `unit`, which moves past it (a surrogate pair is one
    // character).
    static qsizetype utf8Step(QStringView text, qsizetype& unit)
    {
        const char16_t c = text[unit++].unicode();
        if (c < 0x80)
            return 1;
        if (c < 0x800)
            return 2;
        if (QChar::isHighSurrogate(c) && unit < text.size() &&
            QChar::isLowSurrogate(text[unit].unicode())) {
            ++unit;
            return 4;
        }
        return 3;
    }

private:
    // UTF-16 start of a Scintilla line.
    qsizetype lineStartUnits(qsizetype line) const;

    QsciScintillaBase* m_editor;
};
