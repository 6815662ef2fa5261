#pragma once

#include "QuendrilCore/SheetCipher.h"

#include <optional>

// The encryption state of a notes folder: `on` with a cipher (sheets are sealed), `off` (sheets
// are written plain) or `locked` (encryption is wanted but no usable key is at hand: nothing may
// be written and encrypted sheets cannot be read).
class SheetEncryption {
public:
    enum class State { on, off, locked };

    [[nodiscard]] static SheetEncryption on(SheetCipher cipher)
    {
        return SheetEncryption(std::move(cipher));
    }
    [[nodiscard]] static SheetEncryption off() { return SheetEncryption(State::off); }
    [[nodiscard]] static SheetEncryption locked() { return SheetEncryption(State::locked); }

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] bool isOn() const { return m_state == State::on; }
    [[nodiscard]] bool isOff() const { return m_state == State::off; }
    [[nodiscard]] bool isLocked() const { return m_state == State::locked; }
    // The cipher when `on`, else null.
    [[nodiscard]] const SheetCipher* cipher() const { return m_cipher ? &*m_cipher : nullptr; }

    bool operator==(const SheetEncryption&) const = default;

private:
    explicit SheetEncryption(State state)
        : m_state(state)
    {
    }
    explicit SheetEncryption(SheetCipher cipher)
        : m_state(State::on)
        , m_cipher(std::move(cipher))
    {
    }

    State m_state;
    std::optional<SheetCipher> m_cipher;
};
