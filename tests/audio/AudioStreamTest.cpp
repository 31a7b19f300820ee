#include "audio/AudioStream.h"

#include "AudioTestSupport.h"

#include <gtest/gtest.h>
#include <thread>

using namespace sayloom;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

AudioChunk chunkOf(float value)
{
    return AudioChunk{makeBuffer({16000, 1, SampleType::float32, false}, std::vector<float>{value})};
}

float valueOf(const std::optional<AudioChunk>& chunk)
{
    return chunk ? chunk->buffer->sample(0, 0) : -1.0f;
}

// Finishing, by a call or by the last producer copy going away, keeps what is buffered and drops what comes later.
TEST(AudioStream, TheEndComesAfterTheBufferedChunks)
{
    for (const bool byCall : {true, false}) {
        auto [stream, continuation] = AudioStream::make();
        {
            const AudioStream::Continuation copy = continuation;
            copy.yield(chunkOf(1));
            continuation.yield(chunkOf(2));
        }
        if (byCall) {
            continuation.finish();
            continuation.finish();
            EXPECT_FALSE(continuation.yield(chunkOf(3)));
        } else {
            [[maybe_unused]] auto gone = std::move(continuation);
        }
        EXPECT_FALSE(stream.atEnd());
        EXPECT_EQ(stream.bufferedCount(), 2u);
        EXPECT_EQ(valueOf(stream.next()), 1.0f);
        EXPECT_EQ(valueOf(stream.next()), 2.0f);
        EXPECT_EQ(stream.next(), std::nullopt);
        EXPECT_TRUE(stream.atEnd());
    }
}

// A waiting consumer wakes at a stop request or its deadline, and the stream goes on; once the consumer is gone, the
// producer's chunks are neither buffered nor kept.
TEST(AudioStream, AConsumerStopsWaitingOrGoesAwayWithoutEndingTheProducer)
{
    auto [stream, continuation] = AudioStream::make();
    std::stop_source stop;
    std::optional<AudioChunk> result = chunkOf(9);
    std::jthread consumer([&stream = stream, &result, token = stop.get_token()] { result = stream.next(token); });
    std::this_thread::sleep_for(20ms);
    stop.request_stop();
    consumer.join();
    EXPECT_EQ(result, std::nullopt);
    EXPECT_EQ(stream.next({}, Clock::now() + 10ms), std::nullopt);
    EXPECT_FALSE(stream.atEnd());
    continuation.yield(chunkOf(4));
    EXPECT_EQ(valueOf(stream.next({}, Clock::now() + 10ms)), 4.0f);

    AudioChunk unread = chunkOf(5);
    const std::weak_ptr<const AudioBuffer> buffered = unread.buffer;
    continuation.yield(std::move(unread));
    {
        [[maybe_unused]] AudioStream gone = std::move(stream);
    }
    EXPECT_TRUE(buffered.expired());
    EXPECT_FALSE(continuation.yield(chunkOf(6)));
}

} // namespace
