#include "speech/SpeechServerProtocol.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtEndian>

namespace sayloom {

using namespace Qt::StringLiterals;

namespace {

const QString endpoints[] = {u"/inference"_s, u"/audio/transcriptions"_s};

QString pathWithoutSlash(const QUrl& address)
{
    QString path = address.path();
    while (path.endsWith(u'/')) {
        path.chop(1);
    }
    return path;
}

std::optional<QString> namedEndpoint(const QString& path)
{
    for (const QString& endpoint : endpoints) {
        if (path.endsWith(endpoint)) {
            return endpoint;
        }
    }
    return std::nullopt;
}

template <typename T>
void append(QByteArray& bytes, T value)
{
    const T little = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
}

} // namespace

QUrl SpeechServerProtocol::transcriptionURL(const QUrl& address)
{
    QUrl url = address;
    const QString path = pathWithoutSlash(address);
    url.setPath(namedEndpoint(path) ? path : path + u"/audio/transcriptions"_s);
    return url;
}

QUrl SpeechServerProtocol::serviceURL(const QUrl& address, const QString& path)
{
    QUrl url = address;
    QString base = pathWithoutSlash(address);
    if (const std::optional<QString> endpoint = namedEndpoint(base)) {
        base.chop(endpoint->size());
    }
    url.setPath(base + path);
    return url;
}

std::optional<QString> SpeechServerProtocol::glossaryPrompt(const QStringList& vocabulary)
{
    const QString opening = u"Glossary: "_s;
    QStringList chosen;
    qsizetype length = opening.size() + 1;
    for (const QString& term : vocabulary) {
        // A term is one phrase; a comma or a line break inside would split it in the list.
        const QString phrase = QString(term).replace(u',', u' ').simplified();
        if (phrase.isEmpty()) {
            continue;
        }
        const qsizetype added = phrase.size() + (chosen.isEmpty() ? 0 : 2);
        if (length + added > promptLimit) {
            // A shorter, less important term may still fit.
            continue;
        }
        length += added;
        chosen.prepend(phrase);
    }
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return opening + chosen.join(u", "_s) + u'.';
}

QByteArray SpeechServerProtocol::wav(const std::vector<std::int16_t>& samples, std::uint32_t sampleRate)
{
    const auto dataSize = std::uint32_t(samples.size() * sizeof(std::int16_t));
    QByteArray bytes;
    bytes.reserve(44 + qsizetype(dataSize));
    bytes.append("RIFF");
    append<std::uint32_t>(bytes, 36 + dataSize);
    bytes.append("WAVEfmt ");
    append<std::uint32_t>(bytes, 16);
    append<std::uint16_t>(bytes, 1); // PCM
    append<std::uint16_t>(bytes, 1); // mono
    append<std::uint32_t>(bytes, sampleRate);
    append<std::uint32_t>(bytes, sampleRate * 2); // bytes per second
    append<std::uint16_t>(bytes, 2);              // bytes per frame
    append<std::uint16_t>(bytes, 16);             // bits per sample
    bytes.append("data");
    append<std::uint32_t>(bytes, dataSize);
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        bytes.append(reinterpret_cast<const char*>(samples.data()), qsizetype(dataSize));
    } else {
        for (const std::int16_t sample : samples) {
            append<std::int16_t>(bytes, sample);
        }
    }
    return bytes;
}

std::optional<QString> SpeechServerProtocol::transcript(const QByteArray& body, const QByteArray& contentType)
{
    const bool claimsJson = contentType.toLower().contains("json") || body.trimmed().startsWith('{');
    if (!claimsJson) {
        return cleanTranscript(QString::fromUtf8(body));
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    const QJsonValue text = document.object().value(u"text");
    if (error.error != QJsonParseError::NoError || !text.isString()) {
        return std::nullopt;
    }
    return cleanTranscript(text.toString());
}

QString SpeechServerProtocol::cleanTranscript(const QString& text)
{
    static const QRegularExpression marker(u"\\[[^\\[\\]\\n]*\\]"_s);
    QString cleaned = text;
    cleaned.remove(marker);
    return cleaned.simplified();
}

} // namespace sayloom
