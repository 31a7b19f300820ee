#pragma once

#include <QString>

#include <optional>

namespace sayloom {

// Why microphone audio could not be brought into the recogniser's format, with the text the user sees.
class AudioConversionError {
public:
    enum class Kind { conversionFailed, unsupportedFormat };

    // `underlying` is the resampler's own message, when it gave one.
    static AudioConversionError conversionFailed(std::optional<QString> underlying)
    {
        return {Kind::conversionFailed, std::move(underlying)};
    }
    static AudioConversionError unsupportedFormat() { return {Kind::unsupportedFormat, std::nullopt}; }

    Kind kind() const { return m_kind; }
    const std::optional<QString>& underlying() const { return m_underlying; }
    // "Audio conversion failed: " + the underlying message or "unknown"; or
    // "Can't convert microphone audio to the recognizer's format".
    QString description() const;

    friend bool operator==(const AudioConversionError&, const AudioConversionError&) = default;

private:
    AudioConversionError(Kind kind, std::optional<QString> underlying)
        : m_kind(kind)
        , m_underlying(std::move(underlying))
    {
    }

    Kind m_kind;
    std::optional<QString> m_underlying;
};

} // namespace sayloom
