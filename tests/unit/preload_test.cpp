// Work done ahead on worker threads: its records are written, and its
// errors thrown, only where the result is taken; the loaders that take
// preloaded results give exactly what they would have made themselves.
#include <gtest/gtest.h>

#include <SDL2/SDL_mixer.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "game/startup.h"
#include "orvo3d/image.h"
#include "orvo3d/log.h"
#include "orvo3d/preload.h"
#include "orvo3d/sound.h"
#include "platform/resources.h"
#include "support/sandbox.h"

namespace {

template <class T>
void waitUntilReady(const Preloaded<T>& job) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!job.ready() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(job.ready());
}

TEST(Preloaded, RecordsOfTheWorkAreWrittenWhereTheResultIsTaken) {
    Preloaded<int> job([] {
        Logger::error("worker", 1, "first");
        Logger::error("worker", 2, "second");
        return 7;
    });
    waitUntilReady(job);
    EXPECT_EQ(readLog(), "") << "the worker wrote to the log itself";
    Logger::error("main", 3, "before the take");
    EXPECT_EQ(job.take(), 7);
    Logger::error("main", 4, "after the take");

    const std::string log = readLog();
    const std::size_t order[] = {log.find("before the take"), log.find("first"), log.find("second"),
                                 log.find("after the take")};
    for (std::size_t i = 0; i < 4; ++i) ASSERT_NE(order[i], std::string::npos) << log;
    EXPECT_LT(order[0], order[1]);
    EXPECT_LT(order[1], order[2]);
    EXPECT_LT(order[2], order[3]);
    EXPECT_EQ(countOf(log, " => worker:1\nfirst\n\n"), 1) << "the record is written as it was made";
}

TEST(Preloaded, AnErrorIsThrownWhereTheResultIsTakenAfterItsRecord) {
    Preloaded<int> job([]() -> int { throw Orvo3D::LoggedException("worker", 9, "cannot build it"); });
    waitUntilReady(job);
    EXPECT_EQ(readLog(), "");
    EXPECT_THROW(job.take(), Orvo3D::LoggedException);
    EXPECT_EQ(countOf(readLog(), "cannot build it"), 1);

    Preloaded<int> other([]() -> int { throw std::runtime_error("plain"); });
    EXPECT_THROW(other.take(), std::runtime_error);
}

TEST(PreloadTable, EachStartedNameIsTakenOnce) {
    PreloadTable<std::string> table;
    EXPECT_FALSE(table.take("never started"));
    table.start("a", [] { return std::string("made a"); });
    table.start("b", [] { return std::string("made b"); });
    EXPECT_EQ(table.take("b"), "made b");
    EXPECT_EQ(table.take("a"), "made a");
    EXPECT_FALSE(table.take("a")) << "a result is handed out once";
}

TEST(PreloadTable, ClearWaitsForUnfinishedWorkAndDropsItsResultAndRecords) {
    PreloadTable<std::string> table;
    std::atomic<bool> finished = false;
    table.start("slow", [&finished] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Logger::error("worker", 1, "from the dropped work");
        finished = true;
        return std::string("made");
    });
    table.clear();
    EXPECT_TRUE(finished) << "clear returned while the worker was still running";
    EXPECT_FALSE(table.take("slow")) << "a cleared result is not handed out";
    EXPECT_EQ(readLog(), "");
}

TEST(PreloadImage, GivesThePixelsOfAPlainDecode) {
    ImagePreloads preloads;
    Registration<ImagePreloads> registered(preloads);
    for (const char* path : {"data/metal.jpg", "data/building-normal.jpg"}) {
        SCOPED_TRACE(path);
        const DecodedImage plain = loadImage(path);
        ASSERT_NE(plain.pixels, nullptr);

        preloadImage(preloads, path);
        const DecodedImage preloaded = loadImage(path);
        EXPECT_FALSE(preloads.take(path)) << "the load did not take the preloaded pixels";
        ASSERT_NE(preloaded.pixels, nullptr);
        EXPECT_EQ(preloaded.width, plain.width);
        EXPECT_EQ(preloaded.height, plain.height);
        EXPECT_EQ(std::memcmp(plain.pixels.get(), preloaded.pixels.get(),
                              static_cast<std::size_t>(plain.width) * plain.height * 3),
                  0);
        EXPECT_NE(plain.pixels, preloaded.pixels);
    }
    EXPECT_EQ(readLog(), "");
}

// Loads look in the newest registered table only while it is registered.
TEST(PreloadImage, LoadsTakeFromTheRegisteredTableOnly) {
    ImagePreloads outer, inner;
    preloadImage(outer, "data/metal.jpg");
    EXPECT_NE(loadImage("data/metal.jpg").pixels, nullptr);
    EXPECT_TRUE(outer.take("data/metal.jpg")) << "an unregistered table was used";

    Registration<ImagePreloads> outerRegistered(outer);
    preloadImage(outer, "data/metal.jpg");
    {
        Registration<ImagePreloads> innerRegistered(inner);
        preloadImage(inner, "data/metal.jpg");
        EXPECT_NE(loadImage("data/metal.jpg").pixels, nullptr);
        EXPECT_FALSE(inner.take("data/metal.jpg"));
    }
    EXPECT_EQ(Registration<ImagePreloads>::find(), &outer);
    EXPECT_NE(loadImage("data/metal.jpg").pixels, nullptr);
    EXPECT_FALSE(outer.take("data/metal.jpg"));
    EXPECT_EQ(readLog(), "");
}

TEST(PreloadImage, AFailedDecodeIsRecordedWhenItsImageIsLoaded) {
    ImagePreloads preloads;
    Registration<ImagePreloads> registered(preloads);
    preloadImage(preloads, "data/no-such-image.jpg");
    EXPECT_EQ(readLog(), "") << "recorded before the loader asked for the image";
    EXPECT_EQ(loadImage("data/no-such-image.jpg").pixels, nullptr);
    EXPECT_EQ(countOf(readLog(), "Failed to load texture"), 1);
    EXPECT_EQ(countOf(readLog(), "ERROR"), 1);
}

TEST(PreloadSound, AClipDecodedOnAWorkerIsTheClipDecodedHere) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Sound& sound = Sound::instance();
    ASSERT_TRUE(sound.engine);
    std::unique_ptr<SoundClip> fromWorker;
    std::thread worker([&] { fromWorker = sound.decode("data/music.mp3"); });
    worker.join();
    std::unique_ptr<SoundClip> here = sound.decode("data/music.mp3");
    ASSERT_TRUE(fromWorker && fromWorker->chunk && here->chunk);
    ASSERT_EQ(fromWorker->chunk->alen, here->chunk->alen);
    EXPECT_EQ(std::memcmp(fromWorker->chunk->abuf, here->chunk->abuf, here->chunk->alen), 0);

    Mix_Chunk* adopted = fromWorker->chunk.get();
    sound.adopt("data/music.mp3", std::move(fromWorker));
    EXPECT_EQ(sound.load("data/music.mp3").chunk.get(), adopted) << "the adopted clip is the cached one";
    sound.adopt("data/music.mp3", std::move(here));
    EXPECT_EQ(sound.load("data/music.mp3").chunk.get(), adopted) << "a cached clip is never replaced";
    EXPECT_EQ(readLog(), "");
}

TEST(PreloadSound, MusicStartsOnceItsDecodingIsDone) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    StartupLoader loader;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!loader.startMusicWhenDecoded() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(loader.startMusicWhenDecoded());
    Sound& sound = Sound::instance();
    ASSERT_TRUE(sound.engine);
    EXPECT_EQ(Mix_Playing(Sound::kMusicChannel), 1);
    EXPECT_TRUE(sound.load("data/music.mp3").looping);
    EXPECT_EQ(sound.sounds.size(), 1u) << "the music was decoded once, by the worker";
    EXPECT_EQ(readLog(), "");
}

TEST(PreloadSound, AnEngineThatWillNotStartIsRecordedWhenTheMusicWouldStart) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    StartupLoader loader;
    int before = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!loader.startMusicWhenDecoded() && std::chrono::steady_clock::now() < deadline) {
        before += readLog().empty() ? 0 : 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(before, 0) << "the worker's record reached the log before the music's turn";
    EXPECT_EQ(countOf(readLog(), "Failed to start sound engine: "), 1) << readLog();
    EXPECT_FALSE(Sound::instance().engine);
}

// A loader left at once (a window that would not open) waits for its
// workers: the music's worker has started the engine by then, and what
// nobody took is dropped with its records.
TEST(StartupLoader, LeavingWaitsForTheWorkersAndDropsTheirResults) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    ServiceOwner<Sound> sound;
    {
        StartupLoader loader;
        EXPECT_NE(Registration<ImagePreloads>::find(), nullptr);
        EXPECT_NE(Registration<StaticModelPreloads>::find(), nullptr);
    }
    EXPECT_NE(sound.made(), nullptr) << "the music's worker was still running";
    EXPECT_EQ(Registration<ImagePreloads>::find(), nullptr);
    EXPECT_EQ(Registration<StaticModelPreloads>::find(), nullptr);
    EXPECT_EQ(readLog(), "") << "records of dropped work were written";
}

}  // namespace
