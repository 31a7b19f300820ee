#include "speech/Pronouncer.h"

#include "speech/ArpabetMapping.h"
#include "speech/SpeechLog.h"

#include <QHash>

#include <espeak-ng/speak_lib.h>
#include <mutex>

namespace sayloom {

namespace {

struct Espeak {
    std::mutex mutex;
    bool initialized = false;
    bool available = false;
    QHash<QString, QString> cache;

    // Under `mutex`.
    bool ensureInitialized()
    {
        if (initialized) {
            return available;
        }
        initialized = true;
        // Synchronous output with no audio device: only the text-to-phoneme translator is used.
        if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT) < 0) {
            qCWarning(lcSpeech) << "espeak-ng could not start; words missing from the dictionary stay unknown";
            return false;
        }
        if (espeak_SetVoiceByName("en-us") != EE_OK) {
            qCWarning(lcSpeech) << "espeak-ng has no en-us voice; words missing from the dictionary stay unknown";
            return false;
        }
        available = true;
        return true;
    }

    // Under `mutex`.
    QString ipa(const QString& word)
    {
        const QByteArray utf8 = word.toUtf8();
        const void* text = utf8.constData();
        // IPA symbols, "_" between the phonemes of a word.
        constexpr int ipaWithSeparator = 0x02 | ('_' << 8);
        QString result;
        // Each call translates up to the next punctuation mark and moves `text` on; null once all is read.
        while (text != nullptr) {
            const char* phonemes = espeak_TextToPhonemes(&text, espeakCHARS_UTF8, ipaWithSeparator);
            if (phonemes == nullptr) {
                break;
            }
            if (!result.isEmpty()) {
                result += QLatin1Char(' ');
            }
            result += QString::fromUtf8(phonemes);
        }
        return result;
    }
};

Espeak& espeak()
{
    static Espeak instance;
    return instance;
}

} // namespace

QString Pronouncer::pronounce(const QString& word)
{
    Espeak& engine = espeak();
    const std::lock_guard lock(engine.mutex);
    const auto cached = engine.cache.constFind(word);
    if (cached != engine.cache.cend()) {
        return *cached;
    }
    QString phones;
    if (engine.ensureInitialized()) {
        phones = arpabetFromIpa(engine.ipa(word)).join(QLatin1Char(' '));
    }
    engine.cache.insert(word, phones);
    return phones;
}

} // namespace sayloom
