#include "download/DownloadController.h"
#include "text/Codepage.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(SizeText, MegabytesBelowOneGigabyteWithTwoDecimalsRoundedHalfAway) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0.00MB"},
        {1572864, "1.50MB"},
        {131072, "0.13MB"}, // 0.125 exactly: away from zero, where printf gives 0.12
        {10485, "0.01MB"},
        {5242, "0.00MB"},
        {1073741823, "1024.00MB"},
        {1073741824, "1.00GB"},
        {1610612736, "1.50GB"},
        {5368709120, "5.00GB"},
        {-1572864, "-1.50MB"},
        {std::numeric_limits<std::int64_t>::max(), "8589934592.00GB"},
        {std::numeric_limits<std::int64_t>::min(), "-8589934592.00GB"},
    };
    for (auto [bytes, expected] : cases) {
        EXPECT_EQ(sizeText(bytes), expected) << bytes;
    }
}

TEST(SpeedText, WholeKilobytesOrMegabytesWithTheSourceCounts) {
    struct Case {
        std::int32_t speed, available, total;
        const char* expectedUtf8;
    };
    const Case cases[] = {
        {262144, 3, 5, "当前速度：256KB    可用资源数：3/5"},
        {1048575, 1, 1, "当前速度：1023KB    可用资源数：1/1"},
        {1048576, 1, 1, "当前速度：1MB    可用资源数：1/1"},
        {3145727, 2, 9, "当前速度：2MB    可用资源数：2/9"},
        {1023, 0, 0, "当前速度：0KB    可用资源数：0/0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cp936ToUtf8(speedText(c.speed, c.available, c.total)), c.expectedUtf8) << c.speed;
    }
}

TEST(LessonFileName, KeepsTheTitleButNeverLeavesTheFolder) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"第1讲 导论（上）", ".mp4", "第1讲 导论（上）.mp4"},
        {"../../evil", ".mp4", "..／..／evil.mp4"},
        {"/etc/passwd", "", "／etc／passwd"},
        {"C/C++ 入门\t第\x01讲\x7f", ".flv", "C／C++ 入门_第_讲_.flv"},
        {"..", "", "__"},
        {".", "", "_"},
        {"..", ".mp4", "...mp4"},
        {"", ".mp4", ".mp4"},
    };
    for (auto [title, extension, expected] : cases) {
        EXPECT_EQ(cp936ToUtf8(lessonFileName(utf8ToCp936(title), extension)), expected) << title;
    }
}

TEST(LessonFileName, ALongTitleIsShortenedAtACharacterKeepingTheExtension) {
    std::string title = "a";
    for (int i = 0; i < 300; ++i) {
        title += utf8ToCp936("讲");
    }
    const std::string name = cp936ToUtf8(lessonFileName(title, ".mp4"));
    // 240 bytes of UTF-8 at most: "a", 78 characters of 3 bytes, ".mp4".
    EXPECT_EQ(name.size(), 1 + 78 * 3 + 4);
    EXPECT_EQ(name.substr(name.size() - 7), "讲.mp4");

    const std::string ascii = lessonFileName(std::string(100000, 'x'), ".flv");
    EXPECT_EQ(ascii, std::string(236, 'x') + ".flv");
}

TEST(CompletionSound, IsAWaveOfTheFixedFormat) {
    QFile file(":/sound/chime.wav");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray wave = file.readAll();
    ASSERT_EQ(wave.size(), 24637);
    const unsigned char header[44] = {'R', 'I', 'F',  'F',  0x35, 0x60, 0,    0,    'W',  'A', 'V',
                                      'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,   0,
                                      1,   0,   0x22, 0x56, 0,    0,    0x22, 0x56, 0,    0,   1,
                                      0,   8,   0,    'd',  'a',  't',  'a',  0x11, 0x60, 0,   0};
    EXPECT_EQ(QByteArray(wave.constData(), 44),
              QByteArray(reinterpret_cast<const char*>(header), 44));
    // Audible, and ending in silence so that it stops without a click.
    int loudest = 0;
    for (int i = 44; i < wave.size(); ++i) {
        loudest = std::max(loudest, std::abs(static_cast<unsigned char>(wave[i]) - 128));
    }
    EXPECT_GT(loudest, 40);
    EXPECT_EQ(static_cast<unsigned char>(wave[wave.size() - 1]), 128);
}

} // namespace
