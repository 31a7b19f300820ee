// Feeds arbitrary transcripts and model answers to the basic cleanup and to the checks that judge an answer, and
// stops at the first broken promise.
//
// Input layout: the first byte holds flags; the raw transcript runs to the first NUL byte, the answer is the rest.
// Each text is UTF-8, invalid sequences becoming U+FFFD, or raw UTF-16 when its flag is set, which is how lone
// surrogates get in.

#include "text/AIPolisher.h"
#include "text/BasicPolisher.h"
#include "text/UserCharacters.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sayloom {

namespace {

// Longer texts only make a run slower, not more interesting.
constexpr size_t maximumInput = 4096;

QString decode(const uint8_t* data, size_t size, bool utf16)
{
    if (utf16) {
        return QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

[[noreturn]] void fail(const char* promise, const QString& input)
{
    std::fprintf(stderr, "broken promise: %s\ninput: %s\n", promise, input.toUtf8().constData());
    std::abort();
}

void checkCharacters(const QString& text)
{
    qsizetype expectedStart = 0;
    UserCharacters::forEach(text, [&](qsizetype start, qsizetype end) {
        if (start != expectedStart || end <= start) {
            fail("characters are contiguous and non-empty", text);
        }
        expectedStart = end;
    });
    if (expectedStart != text.size()) {
        fail("characters cover the text", text);
    }
}

} // namespace

} // namespace sayloom

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace sayloom;
    if (size < 1 || size > maximumInput) {
        return 0;
    }
    const uint8_t flags = data[0];
    const uint8_t* rest = data + 1;
    const size_t restSize = size - 1;
    const auto* split = static_cast<const uint8_t*>(std::memchr(rest, 0, restSize));
    const size_t rawSize = split ? size_t(split - rest) : restSize;
    const QString raw = decode(rest, rawSize, flags & 1);
    const QString answer = split ? decode(split + 1, restSize - rawSize - 1, flags & 2) : QString();

    checkCharacters(raw);

    const QString laidOut = applyingSpokenLayout(raw);
    if (laidOut.size() > raw.size()) {
        fail("spoken layout never lengthens a text", raw);
    }
    const QString polished = BasicPolisher::polished(raw);
    if (polished.size() > raw.size()) {
        fail("the basic cleanup never lengthens a text", raw);
    }
    if (polished != polished.trimmed()) {
        fail("the basic cleanup trims its result", raw);
    }
    // Not idempotent by design: capitals come before the trim, so "  hi" stays lower case until a second pass.

    if (const std::optional<QString> accepted = AIPolisher::validated(answer, raw)) {
        if (accepted->isEmpty() || *accepted != accepted->trimmed()) {
            fail("an accepted answer is trimmed and not empty", answer);
        }
        const double ratio =
                double(UserCharacters::count(*accepted)) / double(std::max<qsizetype>(UserCharacters::count(raw), 1));
        if (!(ratio > 0.25 && ratio < 1.6)) {
            fail("an accepted answer keeps the length", answer);
        }
    }
    return 0;
}
