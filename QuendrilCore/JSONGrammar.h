#pragma once

#include "QuendrilCore/JSONToken.h"

#include <cstdint>

// The automaton that checks a token sequence: one complete JSON value, nested at most
// `maxDepth` containers deep. Feed it tokens in order; a false answer is final.
class JSONGrammar {
public:
    static constexpr int maxDepth = 512;

    [[nodiscard]] bool feed(JSONTokenKind kind)
    {
        switch (m_state) {
        case State::valueExpected:
            return value(kind);
        case State::valueOrEndOfArray:
            if (kind == JSONTokenKind::endArray)
                return pop();
            return value(kind);
        case State::keyOrEndOfObject:
            if (kind == JSONTokenKind::endObject)
                return pop();
            [[fallthrough]];
        case State::keyExpected:
            if (kind != JSONTokenKind::string)
                return false;
            m_state = State::colonExpected;
            return true;
        case State::colonExpected:
            if (kind != JSONTokenKind::colon)
                return false;
            m_state = State::valueExpected;
            return true;
        case State::afterValue:
            if (kind == JSONTokenKind::comma) {
                m_state = innermostIsObject() ? State::keyExpected : State::valueExpected;
                return true;
            }
            if (kind == (innermostIsObject() ? JSONTokenKind::endObject : JSONTokenKind::endArray))
                return pop();
            return false;
        case State::complete:
            return false;
        }
        return false;
    }

    // True once exactly one whole value has been read.
    [[nodiscard]] bool isComplete() const { return m_state == State::complete; }

private:
    enum class State : std::uint8_t {
        valueExpected,
        valueOrEndOfArray,
        keyOrEndOfObject,
        keyExpected,
        colonExpected,
        afterValue,
        complete,
    };

    bool value(JSONTokenKind kind)
    {
        switch (kind) {
        case JSONTokenKind::beginObject:
            return push(true, State::keyOrEndOfObject);
        case JSONTokenKind::beginArray:
            return push(false, State::valueOrEndOfArray);
        case JSONTokenKind::string:
        case JSONTokenKind::number:
        case JSONTokenKind::literal:
            m_state = m_depth == 0 ? State::complete : State::afterValue;
            return true;
        default:
            return false;
        }
    }

    bool push(bool isObject, State next)
    {
        if (m_depth == maxDepth)
            return false;
        const std::uint64_t bit = std::uint64_t(1) << (m_depth & 63);
        if (isObject)
            m_isObject[m_depth >> 6] |= bit;
        else
            m_isObject[m_depth >> 6] &= ~bit;
        ++m_depth;
        m_state = next;
        return true;
    }

    bool pop()
    {
        --m_depth;
        m_state = m_depth == 0 ? State::complete : State::afterValue;
        return true;
    }

    bool innermostIsObject() const
    {
        const int level = m_depth - 1;
        return (m_isObject[level >> 6] >> (level & 63)) & 1;
    }

    State m_state = State::valueExpected;
    int m_depth = 0;
    // One bit per open container, true for an object.
    std::uint64_t m_isObject[maxDepth / 64] = {};
};
