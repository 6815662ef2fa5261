#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// One keyboard shortcut: a single key (a letter, a digit, space or F1 to F12) with modifier
// keys, parsed from shortcut text such as "ctrl+alt+s" or "hyper+f5". The key keeps its
// designed virtual key code and the modifiers their Carbon bits; the hot-key layer maps them.
//
//   if (auto combo = KeyCombo::parse(settings.globalShortcut))
//       register(combo->keyCode(), combo->carbonModifiers());
class KeyCombo {
public:
    static constexpr quint32 controlBit = 0x1000;
    static constexpr quint32 optionBit = 0x0800;
    static constexpr quint32 shiftBit = 0x0200;
    static constexpr quint32 commandBit = 0x0100;
    static constexpr quint32 hyperBits = controlBit | optionBit | shiftBit | commandBit;

    struct Entry {
        QString name;
        quint32 value;
    };

    // The modifier words with their bits ("ctrl", "alt", "option", "shift", "cmd", "super",
    // "hyper"), and the 49 key names with their key codes.
    [[nodiscard]] static const QList<Entry>& modifiers();
    [[nodiscard]] static const QList<Entry>& keys();

    // Parts split at every "+", lowercased and trimmed of spaces and tabs, in any order: any
    // number of modifier words and exactly one key. An empty part, an unknown word, no key or
    // two keys give nothing. The combo keeps `text` exactly as given.
    [[nodiscard]] static std::optional<KeyCombo> parse(QStringView text);

    // The canonical text of a key code with modifier bits ("ctrl+alt+k", "hyper+s", "k"), or
    // nothing when the key code is not one of the keys.
    [[nodiscard]] static std::optional<QString> text(quint32 keyCode, quint32 carbonModifiers);

    [[nodiscard]] quint32 keyCode() const { return m_keyCode; }
    [[nodiscard]] quint32 carbonModifiers() const { return m_carbonModifiers; }
    [[nodiscard]] const QString& text() const { return m_text; }

    // The display form: modifier symbols in the order ⌃⌥⇧⌘ then the key ("⌃⌥K", "⇧F12"), or
    // "Hyper + S" when all four modifiers are set.
    [[nodiscard]] QString symbols() const;

    // Whether the combo may be a global shortcut: it holds Control or Option.
    [[nodiscard]] bool isAllowedGlobal() const;

    // Whether both combos press the same keys, whatever their texts.
    [[nodiscard]] bool hasSameKeys(const KeyCombo& other) const
    {
        return m_keyCode == other.m_keyCode && m_carbonModifiers == other.m_carbonModifiers;
    }

    bool operator==(const KeyCombo&) const = default;

private:
    KeyCombo(quint32 keyCode, quint32 carbonModifiers, QString text)
        : m_keyCode(keyCode)
        , m_carbonModifiers(carbonModifiers)
        , m_text(std::move(text))
    {
    }

    quint32 m_keyCode;
    quint32 m_carbonModifiers;
    QString m_text;
};
