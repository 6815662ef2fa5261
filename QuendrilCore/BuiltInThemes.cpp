#include "QuendrilCore/BuiltInThemes.h"

const Theme& BuiltInThemes::paper()
{
    static const Theme theme = [] {
        Theme paper;
        paper.name = QStringLiteral("Paper");
        paper.background = QStringLiteral("#FBF8F1");
        paper.foreground = QStringLiteral("#2B2A27");
        paper.caret = QStringLiteral("#B4532A");
        paper.selection = QStringLiteral("#F6E3A1");
        paper.selectionBorder = QStringLiteral("#E5CF7E");
        paper.findHighlight = QStringLiteral("#F4D35E");
        paper.jsonString = QStringLiteral("#3D6B35");
        paper.jsonKey = QStringLiteral("#7A4A12");
        paper.jsonNumber = QStringLiteral("#8E3B66");
        paper.jsonLiteral = QStringLiteral("#A33A2C");
        paper.jsonLiteralItalic = false;
        paper.jsonPunctuation = QStringLiteral("#6B6458");
        paper.jsonBracket = QStringLiteral("#2B2A27");
        paper.link = QStringLiteral("#1F5A8A");
        paper.codeKeyword = QStringLiteral("#7B3F8C");
        paper.codeCommand = QStringLiteral("#1F5A8A");
        paper.codeVariable = QStringLiteral("#A3471B");
        paper.codeComment = QStringLiteral("#6B6458");
        paper.tabBar = QStringLiteral("#F1ECE0");
        paper.statusLine = QStringLiteral("#F1ECE0");
        paper.font = QStringLiteral("New York");
        paper.lineSpacing = 1.6;
        paper.margin = 56;

        ThemeColors dark;
        dark.background = QStringLiteral("#23211E");
        dark.foreground = QStringLiteral("#E6DFD2");
        dark.caret = QStringLiteral("#E0915F");
        dark.selection = QStringLiteral("#5A4A22");
        dark.selectionBorder = QStringLiteral("#7A6530");
        dark.findHighlight = QStringLiteral("#7D6420");
        dark.jsonString = QStringLiteral("#A8C79A");
        dark.jsonKey = QStringLiteral("#E0B47A");
        dark.jsonNumber = QStringLiteral("#E3A3C4");
        dark.jsonLiteral = QStringLiteral("#F09A8A");
        dark.jsonPunctuation = QStringLiteral("#A39B8D");
        dark.jsonBracket = QStringLiteral("#E6DFD2");
        dark.link = QStringLiteral("#8FB9E3");
        dark.codeKeyword = QStringLiteral("#D2A8E0");
        dark.codeCommand = QStringLiteral("#8FB9E3");
        dark.codeVariable = QStringLiteral("#F0A878");
        dark.codeComment = QStringLiteral("#A39B8D");
        dark.tabBar = QStringLiteral("#1A1916");
        dark.statusLine = QStringLiteral("#1A1916");
        paper.dark = dark;
        return paper;
    }();
    return theme;
}

Theme BuiltInThemes::mariana()
{
    Theme mariana;
    mariana.name = QStringLiteral("Mariana");
    mariana.background = QStringLiteral("hsl(210, 15%, 22%)");
    mariana.foreground = QStringLiteral("hsl(219, 28%, 88%)");
    mariana.caret = QStringLiteral("hsl(32, 93%, 66%)");
    mariana.selection = QStringLiteral("hsla(210, 13%, 40%, 0.7)");
    mariana.selectionBorder = QStringLiteral("hsl(210, 13%, 45%)");
    mariana.findHighlight = QStringLiteral("hsl(40, 94%, 68%)");
    mariana.jsonString = QStringLiteral("hsl(114, 31%, 68%)");
    mariana.jsonKey = QStringLiteral("hsl(180, 36%, 54%)");
    mariana.jsonNumber = QStringLiteral("hsl(32, 93%, 66%)");
    mariana.jsonLiteral = QStringLiteral("hsl(357, 79%, 65%)");
    mariana.jsonLiteralItalic = true;
    mariana.jsonPunctuation = QStringLiteral("hsl(221, 12%, 69%)");
    mariana.jsonBracket = QStringLiteral("hsl(0, 0%, 100%)");
    mariana.link = QStringLiteral("hsl(210, 50%, 60%)");
    mariana.codeKeyword = QStringLiteral("hsl(300, 30%, 68%)");
    mariana.codeCommand = QStringLiteral("hsl(210, 50%, 60%)");
    mariana.codeVariable = QStringLiteral("hsl(13, 93%, 66%)");
    mariana.codeComment = QStringLiteral("hsl(221, 12%, 69%)");
    return mariana;
}

Theme BuiltInThemes::light()
{
    Theme light;
    light.name = QStringLiteral("Light");
    light.background = QStringLiteral("hsl(40, 20%, 98%)");
    light.foreground = QStringLiteral("hsl(210, 15%, 20%)");
    light.caret = QStringLiteral("hsl(28, 90%, 45%)");
    light.selection = QStringLiteral("hsla(210, 40%, 80%, 0.7)");
    light.selectionBorder = QStringLiteral("hsl(210, 30%, 70%)");
    light.findHighlight = QStringLiteral("hsl(45, 100%, 60%)");
    light.jsonString = QStringLiteral("hsl(114, 45%, 30%)");
    light.jsonKey = QStringLiteral("hsl(185, 60%, 30%)");
    light.jsonNumber = QStringLiteral("hsl(28, 85%, 40%)");
    light.jsonLiteral = QStringLiteral("hsl(357, 70%, 45%)");
    light.jsonLiteralItalic = true;
    light.jsonPunctuation = QStringLiteral("hsl(221, 10%, 45%)");
    light.jsonBracket = QStringLiteral("hsl(210, 15%, 20%)");
    light.link = QStringLiteral("hsl(210, 70%, 40%)");
    light.codeKeyword = QStringLiteral("hsl(300, 40%, 40%)");
    light.codeCommand = QStringLiteral("hsl(210, 70%, 40%)");
    light.codeVariable = QStringLiteral("hsl(13, 80%, 45%)");
    light.codeComment = QStringLiteral("hsl(221, 10%, 50%)");
    return light;
}

QList<Theme> BuiltInThemes::all()
{
    return {paper(), mariana(), light()};
}
