#pragma once

#include "QuendrilCore/TextSpan.h"

#include <QUrl>

// A web address found in a text: where its text lies and the URL parsed from it.
struct FoundLink {
    TextSpan range;
    QUrl url;

    bool operator==(const FoundLink&) const = default;
};
