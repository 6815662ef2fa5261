#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The text forms of rectangles and sizes kept in state.json: "{{200, 150}, {900, 640}}" and
// "{640, 320}", with numbers in their shortest decimal form.
namespace GeometryText {

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Rect&) const = default;
};

[[nodiscard]] QString sizeText(Size size);
[[nodiscard]] QString rectText(Rect rect);

// None unless the text is exactly the printed form (blanks around numbers and braces allowed) with
// finite numbers.
[[nodiscard]] std::optional<Size> parseSize(QStringView text);
[[nodiscard]] std::optional<Rect> parseRect(QStringView text);

// The shortest decimal text that reads back as `value` ("0", "12.5", "1e+21").
[[nodiscard]] QString shortestNumber(double value);

} // namespace GeometryText
