#include "audio/AudioStream.h"

#include "AudioTestSupport.h"

#include <gtest/gtest.h>
#include <numeric>
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

TEST(AudioStream, ConsumerOnAnotherThreadReadsEveryChunkInOrderThenTheEnd)
{
    auto [stream, continuation] = AudioStream::make();
    std::vector<float> received;
    std::jthread consumer([&stream = stream, &received] {
        while (auto chunk = stream.next()) {
            received.push_back(valueOf(chunk));
        }
    });
    std::vector<float> sent(1000);
    std::iota(sent.begin(), sent.end(), 0.0f);
    for (const float value : sent) {
        EXPECT_TRUE(continuation.yield(chunkOf(value)));
        if (int(value) % 100 == 0) {
            std::this_thread::sleep_for(1ms);
        }
    }
    continuation.finish();
    consumer.join();
    EXPECT_EQ(received, sent);
    EXPECT_TRUE(stream.atEnd());
}

TEST(AudioStream, FinishKeepsBufferedChunksAndDropsLaterOnes)
{
    auto [stream, continuation] = AudioStream::make();
    continuation.yield(chunkOf(1));
    continuation.yield(chunkOf(2));
    continuation.finish();
    continuation.finish();
    EXPECT_FALSE(continuation.yield(chunkOf(3)));
    EXPECT_FALSE(stream.atEnd());
    EXPECT_EQ(stream.bufferedCount(), 2u);
    EXPECT_EQ(valueOf(stream.next()), 1.0f);
    EXPECT_EQ(valueOf(stream.next()), 2.0f);
    EXPECT_EQ(stream.next(), std::nullopt);
    EXPECT_TRUE(stream.atEnd());
}

TEST(AudioStream, StopRequestOrDeadlineWakesAWaitingConsumerWithoutEndingTheStream)
{
    auto [stream, continuation] = AudioStream::make();
    std::stop_source stop;
    std::optional<AudioChunk> result = chunkOf(9);
    std::jthread consumer([&stream = stream, &result, token = stop.get_token()] { result = stream.next(token); });
    std::this_thread::sleep_for(20ms);
    stop.request_stop();
    consumer.join();
    EXPECT_EQ(result, std::nullopt);
    EXPECT_FALSE(stream.atEnd());

    EXPECT_EQ(stream.next({}, Clock::now() + 10ms), std::nullopt);
    EXPECT_FALSE(stream.atEnd());
    continuation.yield(chunkOf(4));
    EXPECT_EQ(valueOf(stream.next({}, Clock::now() + 10ms)), 4.0f);
}

TEST(AudioStream, EndsWhenTheLastProducerCopyGoesAwayUnfinished)
{
    auto [stream, continuation] = AudioStream::make();
    {
        const AudioStream::Continuation copy = continuation;
        copy.yield(chunkOf(1));
        continuation = copy;
    }
    EXPECT_FALSE(stream.atEnd());
    {
        [[maybe_unused]] auto gone = std::move(continuation);
    }
    EXPECT_EQ(valueOf(stream.next()), 1.0f);
    EXPECT_EQ(stream.next(), std::nullopt);
    EXPECT_TRUE(stream.atEnd());
}

TEST(AudioStream, ProducerStopsBufferingOnceTheConsumerIsGone)
{
    auto [stream, continuation] = AudioStream::make();
    AudioChunk unread = chunkOf(2);
    const std::weak_ptr<const AudioBuffer> buffered = unread.buffer;
    continuation.yield(std::move(unread));
    {
        [[maybe_unused]] AudioStream gone = std::move(stream);
    }
    EXPECT_FALSE(continuation.yield(chunkOf(3)));
    EXPECT_TRUE(buffered.expired());
}

} // namespace
