// Work done ahead on worker threads: its records are written, and its
// errors thrown, only where the result is taken; the loaders that take
// preloaded results give exactly what they would have made themselves.
#include <gtest/gtest.h>

#include <SDL2/SDL_mixer.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "game/startup.h"
#include "orvo3d/image.h"
#include "orvo3d/log.h"
#include "orvo3d/preload.h"
#include "orvo3d/service.h"
#include "orvo3d/sound.h"
#include "orvo3d/staticmodel.h"
#include "platform/resources.h"
#include "support/sandbox.h"
#include "support/services.h"

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
    for (const char* path : {"data/metal.jpg", "data/building-normal.jpg"}) {
        SCOPED_TRACE(path);
        const DecodedImage plain = loadImage(path);
        ASSERT_NE(plain.pixels, nullptr);

        preloadImage(preloads, path);
        const DecodedImage preloaded = loadImage(path, &preloads);
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

// A 1 x 1 image of one colour, standing for a preloaded result that no
// decoder of the path could have given.
DecodedImage markerImage(unsigned char value) {
    DecodedImage image;
    image.pixels = {new unsigned char[3]{value, value, value}, [](unsigned char* p) { delete[] p; }};
    image.width = 1;
    image.height = 1;
    return image;
}

// A load takes from the table it is given, and from no other; without a
// table, or when its table does not hold the path, it decodes itself.
TEST(PreloadImage, LoadsTakeFromTheTableTheyAreGivenOnly) {
    const char* const path = "data/metal.jpg";
    ImagePreloads given, other;
    other.start(path, [] { return markerImage(7); });
    const DecodedImage alone = loadImage(path);
    ASSERT_NE(alone.pixels, nullptr);
    EXPECT_EQ(alone.width, 1024) << "a load given no table took a preload";
    EXPECT_TRUE(other.take(path));

    given.start(path, [] { return markerImage(200); });
    other.start(path, [] { return markerImage(7); });
    const DecodedImage fromTable = loadImage(path, &given);
    ASSERT_NE(fromTable.pixels, nullptr);
    EXPECT_EQ(fromTable.width, 1);
    EXPECT_EQ(fromTable.height, 1);
    EXPECT_EQ(fromTable.pixels.get()[0], 200);
    EXPECT_FALSE(given.take(path)) << "the load left its preload in the table";
    EXPECT_TRUE(other.take(path)) << "a load took from a table it was not given";

    const DecodedImage notHeld = loadImage(path, &given);
    ASSERT_NE(notHeld.pixels, nullptr);
    EXPECT_EQ(notHeld.width, alone.width);
    EXPECT_EQ(notHeld.height, alone.height);
    EXPECT_EQ(std::memcmp(notHeld.pixels.get(), alone.pixels.get(),
                          static_cast<std::size_t>(alone.width) * alone.height * 3),
              0);
    EXPECT_EQ(readLog(), "");
}

TEST(PreloadImage, AFailedDecodeIsRecordedWhenItsImageIsLoaded) {
    ImagePreloads preloads;
    preloadImage(preloads, "data/no-such-image.jpg");
    EXPECT_EQ(readLog(), "") << "recorded before the loader asked for the image";
    EXPECT_EQ(loadImage("data/no-such-image.jpg", &preloads).pixels, nullptr);
    EXPECT_EQ(countOf(readLog(), "Failed to load texture"), 1);
    EXPECT_EQ(countOf(readLog(), "ERROR"), 1);
}

TEST(PreloadSound, AClipDecodedOnAWorkerIsTheClipDecodedHere) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Sound& sound = testSound();
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
    StartupLoader loader(testSoundService());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!loader.startMusicWhenDecoded() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(loader.startMusicWhenDecoded());
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    EXPECT_EQ(Mix_Playing(Sound::kMusicChannel), 1);
    EXPECT_TRUE(sound.load("data/music.mp3").looping);
    EXPECT_EQ(sound.sounds.size(), 1u) << "the music was decoded once, by the worker";
    EXPECT_EQ(readLog(), "");
}

TEST(PreloadSound, AnEngineThatWillNotStartIsRecordedWhenTheMusicWouldStart) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    StartupLoader loader(testSoundService());
    int before = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!loader.startMusicWhenDecoded() && std::chrono::steady_clock::now() < deadline) {
        before += readLog().empty() ? 0 : 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(before, 0) << "the worker's record reached the log before the music's turn";
    EXPECT_EQ(countOf(readLog(), "Failed to start sound engine: "), 1) << readLog();
    EXPECT_FALSE(testSound().engine);
}

// The loader's tables hold the road's four textures and the ship, each
// for one loader to take, decoded as their loaders would decode them.
TEST(StartupLoader, ItsTablesHoldTheRoadsTexturesAndTheShip) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    StartupLoader loader(testSoundService());
    ASSERT_NE(loader.images(), nullptr);
    ASSERT_NE(loader.models(), nullptr);
    for (const char* path :
         {"data/metal.jpg", "data/metal-normal.jpg", "data/building.jpg", "data/building-normal.jpg"}) {
        SCOPED_TRACE(path);
        std::optional<DecodedImage> image = loader.images()->take(path);
        ASSERT_TRUE(image);
        ASSERT_NE(image->pixels, nullptr);
        const DecodedImage plain = loadImage(path);
        ASSERT_NE(plain.pixels, nullptr);
        EXPECT_EQ(image->width, plain.width);
        EXPECT_EQ(image->height, plain.height);
        EXPECT_EQ(std::memcmp(image->pixels.get(), plain.pixels.get(),
                              static_cast<std::size_t>(plain.width) * plain.height * 3),
                  0);
        EXPECT_FALSE(loader.images()->take(path));
    }
    std::optional<StaticModelData> ship = loader.models()->take("data/ship");
    ASSERT_TRUE(ship);
    EXPECT_EQ(ship->name, "data/ship");
    EXPECT_EQ(ship->vertices.size(), loadStaticModelData("data/ship").vertices.size());
    EXPECT_GT(ship->vertices.size(), 0u);
    EXPECT_FALSE(loader.models()->take("data/ship"));
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

// A loader left at once (a window that would not open) waits for its
// workers: the music's worker has started the engine of the sound it was
// given by then, and what nobody took is dropped with its records.
TEST(StartupLoader, LeavingWaitsForTheWorkersAndDropsTheirResults) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    Lazy<Sound> sound;
    {
        StartupLoader loader(sound);
        EXPECT_NE(loader.images(), nullptr);
        EXPECT_NE(loader.models(), nullptr);
    }
    EXPECT_NE(sound.made(), nullptr) << "the music's worker was still running";
    EXPECT_EQ(testSoundService().made(), nullptr) << "the music was decoded with another sound";
    EXPECT_EQ(readLog(), "") << "records of dropped work were written";
}

}  // namespace
