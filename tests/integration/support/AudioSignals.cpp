#include "AudioSignals.h"

#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace sayloom::AudioSignals {

using namespace Qt::StringLiterals;

constexpr double twoPi = 2.0 * std::numbers::pi;

std::vector<float> sine(double frequency, int rate, std::size_t frames, float amplitude)
{
    std::vector<float> samples(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        samples[i] = amplitude * float(std::sin(twoPi * frequency * double(i) / rate));
    }
    return samples;
}

std::vector<float> square(double frequency, int rate, std::size_t frames, float amplitude)
{
    std::vector<float> samples(frames);
    const double halfPeriod = rate / frequency / 2.0;
    for (std::size_t i = 0; i < frames; ++i) {
        samples[i] = (std::int64_t(double(i) / halfPeriod) % 2 == 0) ? amplitude : -amplitude;
    }
    return samples;
}

std::vector<float> noise(std::size_t frames, float amplitude, std::uint32_t seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-amplitude, amplitude);
    std::vector<float> samples(frames);
    for (float& sample : samples) {
        sample = distribution(generator);
    }
    return samples;
}

std::vector<std::int16_t> toInt16(const std::vector<float>& samples)
{
    std::vector<std::int16_t> result(samples.size());
    std::transform(samples.begin(), samples.end(), result.begin(), [](float sample) {
        return std::int16_t(std::clamp(std::lround(sample * 32768.0f), -32768L, 32767L));
    });
    return result;
}

int risingZeroCrossings(const std::vector<float>& samples, std::size_t from)
{
    int crossings = 0;
    for (std::size_t i = from + 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            ++crossings;
        }
    }
    return crossings;
}

double toneAmplitude(const std::vector<float>& samples, double frequency, int rate, std::size_t from)
{
    double real = 0.0;
    double imaginary = 0.0;
    const std::size_t count = samples.size() > from ? samples.size() - from : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double angle = twoPi * frequency * double(i) / rate;
        real += samples[from + i] * std::cos(angle);
        imaginary -= samples[from + i] * std::sin(angle);
    }
    return count == 0 ? 0.0 : 2.0 * std::hypot(real, imaginary) / double(count);
}

std::vector<float> spokenSentence(const QString& sentence, const QString& folder, QString* error)
{
    const QString wav = folder + u"/spoken.wav";
    const std::pair<QString, QStringList> steps[] = {
            {u"flite"_s, {u"-voice"_s, u"slt"_s, u"-t"_s, sentence, u"-o"_s, wav}},
            {u"sox"_s, QStringList{wav} + u"-t f32 -r 16000 -c 1 - pad 0.5 0.5"_s.split(u' ')}};
    QByteArray raw;
    for (const auto& [program, arguments] : steps) {
        QProcess process;
        process.start(program, arguments);
        // Generous: the synthesiser shares the machine with a whole test suite.
        if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            if (error) {
                *error = program + u" failed: " + process.errorString() + u' ' +
                         QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
            }
            return {};
        }
        raw = process.readAllStandardOutput();
    }
    std::vector<float> samples(std::size_t(raw.size()) / sizeof(float));
    std::memcpy(samples.data(), raw.constData(), samples.size() * sizeof(float));
    return samples;
}

} // namespace sayloom::AudioSignals
