#pragma once

#include "QuendrilCore/JSONToken.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// A second, deliberately plain JSON recognizer (recursive descent straight from RFC 8259) that
// the streaming lexer and automaton are checked against.
namespace JSONReference {

// True when the bytes hold exactly one value nested at most `maxDepth` containers deep, with
// only tab, LF, CR or space around it. Bytes inside strings are not checked as UTF-8.
bool isValid(QByteArrayView bytes, int maxDepth = 512);

// True when the kinds of the tokens form exactly one value nested at most `maxDepth` deep.
bool isValidTokenSequence(const QList<JSONToken>& tokens, int maxDepth = 512);

// The bytes decoded as UTF-8 with U+FFFD for invalid sequences, keeping a leading byte order
// mark (QString::fromUtf8 drops it).
QString decodeUTF8(QByteArrayView bytes);

// The bytes with every tab, LF, CR and space outside strings removed.
QByteArray withoutLayout(QByteArrayView bytes);

} // namespace JSONReference
