#pragma once

#include <QObject>
#include <cmath>
#include <type_traits>

// One published value of a PublishedObject subclass `Self`: a getter `name()`, a setter that stores
// the value and emits `nameChanged()` only when it differs from the stored one, and the member,
// initialised with the optional trailing arguments (value-initialised without them). The class
// declares the signal itself.
// clang-format off
#define ORVALINK_PUBLISHED(Self, Type, name, setter, ...)                                               \
public:                                                                                                 \
    const Type& name() const { return m_##name; }                                                       \
    void setter(const Type& value) { publish(m_##name, value, &Self::name##Changed); }                  \
                                                                                                        \
private:                                                                                                \
    Type m_##name{__VA_ARGS__};
// clang-format on

namespace orvalink {

// The base of the published state objects (BrowsingState, ActivityState, HistoryState,
// AccountState): plain values with getters, setters and change signals. Main thread only. The
// state object's actions write through the setters; views only read and connect to the signals.
class PublishedObject : public QObject {
public:
    explicit PublishedObject(QObject* parent = nullptr) : QObject(parent) {}

protected:
    template <typename T, typename Self> void publish(T& field, const T& value, void (Self::*changed)())
    {
        if constexpr (std::is_floating_point_v<T>) {
            // NaN never equals itself; storing it again is no change either.
            if (field == value || (std::isnan(field) && std::isnan(value)))
                return;
        } else if (field == value) {
            return;
        }
        field = value;
        Q_EMIT(static_cast<Self*>(this)->*changed)();
    }
};

} // namespace orvalink
