#include "AudioSignals.h"

#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace sayloom::AudioSignals {

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
    const auto run = [error](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        // Generous: the synthesiser shares the machine with a whole test suite.
        if (process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() == 0) {
            return true;
        }
        if (error) {
            *error = program + u" failed: " + process.errorString() + u' ' +
                     QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        }
        process.kill();
        process.waitForFinished(1000);
        return false;
    };
    const QString wav = folder + u"/spoken.wav";
    const QString raw = folder + u"/spoken.f32";
    if (!run(QStringLiteral("flite"), {QStringLiteral("-voice"), QStringLiteral("slt"), QStringLiteral("-t"), sentence,
                                       QStringLiteral("-o"), wav}) ||
        !run(QStringLiteral("sox"), {wav, QStringLiteral("-t"), QStringLiteral("f32"), QStringLiteral("-r"),
                                     QStringLiteral("16000"), QStringLiteral("-c"), QStringLiteral("1"), raw,
                                     QStringLiteral("pad"), QStringLiteral("0.5"), QStringLiteral("0.5")})) {
        return {};
    }
    QFile file(raw);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = u"cannot read " + raw;
        }
        return {};
    }
    const QByteArray bytes = file.readAll();
    std::vector<float> samples(std::size_t(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

} // namespace sayloom::AudioSignals
